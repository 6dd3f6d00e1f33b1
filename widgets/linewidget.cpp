// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/linewidget.h"

#include <QPainter>

LineWidget::LineWidget(QWidget *parent)
    : QWidget(parent)
{
    // The line fills the whole widget: nothing behind it needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

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
