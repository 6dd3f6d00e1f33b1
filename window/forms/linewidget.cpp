#include "linewidget.h"

#include <QPainter>

LineWidget::LineWidget(QWidget *parent)
    : QWidget(parent)
{ }

void LineWidget::setColor(const QColor &color)
{
    if (color == lineColor)
        return;
    lineColor = color;
    update();
}

void LineWidget::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), lineColor);
}
