// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/pictures.h"

#include <QPainter>
#include <QSvgRenderer>

QString picturePath(const QString &name)
{
    return QStringLiteral(":/pictures/%1.svg").arg(name);
}

QPixmap picture(const QString &name, const QSize &size)
{
    QSvgRenderer renderer(picturePath(name));
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(size.isEmpty() ? renderer.defaultSize() : size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}
