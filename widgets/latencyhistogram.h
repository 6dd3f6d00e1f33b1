// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

#include <map>

// The reply latency as a histogram drawn by one widget: a title, the count of replies up the
// left, the latency in whole ms along the bottom, one bar per bin, and the line's limit as a
// dashed red line named in the legend below. Bins are a millisecond wide, wider when a slow
// outlier would make too many of them. The pointer over a bar shows its range and count as a
// tooltip, which assistive technology reads as the widget's description, all bars in a row.
//
// It is drawn with whole pixels and without antialiasing but for the text, so that the same
// figures give the same picture on every machine.
class LatencyHistogram : public QWidget
{
    Q_OBJECT

public:
    explicit LatencyHistogram(QWidget *parent = nullptr);

    // Replies per whole millisecond of latency. Nothing is repainted when they are those shown.
    void setCounts(const std::map<qint64, int> &perMs);
    // The line's own limit in ms, marked on the plot; the latency axis always reaches past it.
    void setLimit(double ms);
    // What the tooltip at `point` says of the bar there: "12-13 ms: 40 replies"; empty where
    // there is no bar.
    QString barText(const QPoint &point) const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Bin
    {
        qint64 from = 0; // ms, the first in the bin
        qint64 to = 0; // ms, the first beyond it
        int count = 0;
    };
    struct Axis
    {
        qint64 end = 1;
        qint64 step = 1; // between ticks
    };

    void rebin();
    QRect plotRect() const;
    const Bin *binAt(const QRect &plot, const QPoint &point) const;
    int xOf(const QRect &plot, double ms) const;
    int yOf(const QRect &plot, int count) const;
    static QString binText(const Bin &bin);

    std::map<qint64, int> counts;
    double limitMs = 0;
    QList<Bin> bins; // those with replies, in order
    Axis latencyAxis;
    Axis countAxis;
};
