#include "lamp.h"

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
    pictures.clear();
    update();
}

void Lamp::resizeEvent(QResizeEvent *)
{
    pictures.clear();
}

QPixmap Lamp::picture() const
{
    if (const auto found = pictures.constFind(fill.rgba()); found != pictures.cend())
        return *found;
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
    pictures.insert(fill.rgba(), drawn);
    return drawn;
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter(this).drawPixmap(0, 0, picture());
}
