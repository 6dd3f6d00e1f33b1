// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/formsetup.h"

#include <QFont>
#include <QScreen>
#include <QStyle>
#include <QWidget>

void centreOnScreen(QWidget *window)
{
    const QRect screen = window->screen()->geometry();
    window->setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen));
}

void setFormFont(QWidget *form, double pointSize)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(pointSize);
    form->setFont(font);
}
