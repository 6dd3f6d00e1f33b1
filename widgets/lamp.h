// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <utility>

// An activity lamp: a solid circle as wide as the shorter side of the widget, centred in it, with
// a one-pixel border. Dark (#400000) until the program lights it. The lamp paints every pixel of
// its widget, the corners around the circle in `backColor` (that of the heading it stands on), so
// that lighting it repaints nothing behind it.
class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
    Q_PROPERTY(QColor borderColor READ borderColor)
    Q_PROPERTY(QColor backColor READ backColor WRITE setBackColor)

public:
    explicit Lamp(QWidget *parent = nullptr);

    QColor fillColor() const { return fill; }
    void setFillColor(const QColor &color);
    QColor borderColor() const { return border; }
    QColor backColor() const { return back; }
    void setBackColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap picture() const;
    void forgetPictures();

    QColor fill{0x40, 0x00, 0x00};
    const QColor border{0xFF, 0xFF, 0xFF};
    QColor back{Qt::black};
    // The lamp as drawn in the last two fill colours: it flashes between two many times a second.
    mutable std::array<std::pair<QRgb, QPixmap>, 2> pictures;
};
