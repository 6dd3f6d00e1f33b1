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
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    // Drawn without antialiasing, pixel for pixel: the circle spans `diameter` pixels.
    const int diameter = qMin(width(), height());
    const QRect circle((width() - diameter) / 2, (height() - diameter) / 2, diameter - 1,
                       diameter - 1);
    QPainter painter(this);
    painter.fillRect(rect(), back);
    painter.setPen(border);
    painter.setBrush(fill);
    painter.drawEllipse(circle);
}
