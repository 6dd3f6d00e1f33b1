// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Lamp::setFillColor(const QColor &color)
{
    if (color == fill)
        return;
    fill = color;
    update();
}

void Lamp::setBackColor(const QColor &color)
{
    back = color;
    forgetPictures();
    update();
}

void Lamp::resizeEvent(QResizeEvent *)
{
    forgetPictures();
}

void Lamp::forgetPictures()
{
    pictures = {};
}

QPixmap Lamp::picture() const
{
    for (const auto &[color, drawn] : pictures) {
        if (color == fill.rgba() && !drawn.isNull())
            return drawn;
    }
    // Drawn without antialiasing, pixel for pixel: the circle spans `diameter` pixels.
    const int diameter = qMin(width(), height());
    const QRect circle((width() - diameter) / 2, (height() - diameter) / 2, diameter - 1,
                       diameter - 1);
    const qreal ratio = devicePixelRatioF();
    QPixmap drawn(size() * ratio);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(back);
    QPainter painter(&drawn);
    painter.setPen(border);
    painter.setBrush(fill);
    painter.drawEllipse(circle);
    painter.end();
    pictures = {pictures[1], {fill.rgba(), drawn}};
    return drawn;
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter(this).drawPixmap(0, 0, picture());
}
