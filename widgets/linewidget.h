// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A straight line in one colour. The widget is the line itself, one pixel thick: a line from
// (x1, y) to (x2, y) of the layouts is the widget (x1, y, x2 - x1, 1), a vertical one likewise.
class LineWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit LineWidget(QWidget *parent = nullptr);

    QColor color() const { return lineColor; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor lineColor{Qt::black};
};
