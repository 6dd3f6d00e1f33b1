// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/latencyhistogram.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 mostBins = 200; // wider bins beyond, so that a slow outlier costs little
constexpr int margin = 8;
constexpr int gap = 4;
constexpr int reach = 3; // pixels beside a narrow bar that still point at it
const QColor barColour(0x20, 0x9f, 0xdf);
const QColor gridColour(0xe0, 0xe0, 0xe0);
const QColor axisColour(0x60, 0x60, 0x60);

QString title()
{
    return QStringLiteral("Reply latency");
}

QString countTitle()
{
    return QStringLiteral("Replies");
}

QFont titleFont(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

LatencyHistogram::LatencyHistogram(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(title());
    rebin();
}

void LatencyHistogram::setCounts(const std::map<qint64, int> &perMs)
{
    if (perMs == counts)
        return;
    counts = perMs;
    rebin();
}

void LatencyHistogram::setLimit(double ms)
{
    limitMs = ms;
    rebin();
}

void LatencyHistogram::rebin()
{
    // Ticks a whole number apart, 1, 2 or 5 times a power of ten, six steps at most.
    const auto axis = [](qint64 span) {
        for (qint64 magnitude = 1;; magnitude *= 10) {
            for (const qint64 step : {magnitude, 2 * magnitude, 5 * magnitude}) {
                if (6 * step >= span)
                    return Axis{(span + step - 1) / step * step, step};
            }
        }
    };
    // The limit stays in view, with room to its right.
    const qint64 worst = counts.empty() ? 0 : counts.rbegin()->first;
    const qint64 end = std::max(qint64(std::ceil(limitMs * 1.25)), worst + 1);
    const qint64 width = (end + mostBins - 1) / mostBins;
    bins.clear();
    int tallest = 1;
    for (const auto &[ms, count] : counts) {
        const qint64 from = ms / width * width;
        if (bins.isEmpty() || bins.last().from != from)
            bins.append({from, from + width, 0});
        tallest = std::max(tallest, bins.last().count += count);
    }
    latencyAxis = axis(end);
    countAxis = axis(tallest);

    QStringList texts;
    for (const Bin &bin : std::as_const(bins))
        texts.append(binText(bin));
    setAccessibleDescription(texts.isEmpty() ? QStringLiteral("No replies")
                                             : texts.join(QStringLiteral("; ")));
    update();
}

QString LatencyHistogram::binText(const Bin &bin)
{
    return QStringLiteral("%1-%2 ms: %3 %4")
            .arg(bin.from)
            .arg(bin.to)
            .arg(bin.count)
            .arg(bin.count == 1 ? QStringLiteral("reply") : QStringLiteral("replies"));
}

// The plot's corners are 0 ms and no reply (bottom left), and the axes' ends (top right).
QRect LatencyHistogram::plotRect() const
{
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const int left = margin + line + gap + metrics.horizontalAdvance(QString::number(countAxis.end))
                     + gap;
    const int top = margin + QFontMetrics(titleFont(font())).height() + gap;
    const int right = margin + metrics.horizontalAdvance(QString::number(latencyAxis.end)) / 2;
    const int bottom = gap + 2 * line + gap + line + margin; // ticks, title; legend
    return QRect(left, top, std::max(1, width() - left - right),
                 std::max(1, height() - top - bottom));
}

int LatencyHistogram::xOf(const QRect &plot, double ms) const
{
    return plot.left() + int(std::lround(ms * (plot.width() - 1) / double(latencyAxis.end)));
}

int LatencyHistogram::yOf(const QRect &plot, int count) const
{
    return plot.bottom() - int(std::lround(count * (plot.height() - 1) / double(countAxis.end)));
}

// The bar nearest `point` along the axis, within reach of it.
const LatencyHistogram::Bin *LatencyHistogram::binAt(const QRect &plot, const QPoint &point) const
{
    if (point.y() < plot.top() || point.y() > plot.bottom())
        return nullptr;
    const Bin *nearest = nullptr;
    int nearestDistance = reach + 1;
    for (const Bin &bin : bins) {
        const int left = xOf(plot, double(bin.from));
        const int right = xOf(plot, double(bin.to)) - 1;
        const int distance = std::max({0, left - point.x(), point.x() - right});
        if (distance < nearestDistance) {
            nearest = &bin;
            nearestDistance = distance;
        }
    }
    return nearest;
}

QString LatencyHistogram::barText(const QPoint &point) const
{
    const Bin *bin = binAt(plotRect(), point);
    return bin ? binText(*bin) : QString();
}

bool LatencyHistogram::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QRect plot = plotRect();
    if (const Bin *bin = binAt(plot, help->pos())) {
        // Shown while the pointer stays near the bar.
        const QRect near(QPoint(xOf(plot, double(bin->from)) - reach, plot.top()),
                         QPoint(xOf(plot, double(bin->to)) - 1 + reach, plot.bottom()));
        QToolTip::showText(help->globalPos(), binText(*bin), this, near);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void LatencyHistogram::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const QRect plot = plotRect();
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    painter.setFont(titleFont(font()));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(0, margin, width(), plot.top() - margin),
                     Qt::AlignHCenter | Qt::AlignTop, title());
    painter.setFont(font());

    // The grid and the ticks' labels.
    const int labelsLeft = margin + line + gap;
    const int labelsWidth = plot.left() - gap - labelsLeft;
    for (qint64 count = 0; count <= countAxis.end; count += countAxis.step) {
        const int y = yOf(plot, int(count));
        painter.setPen(gridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(labelsLeft, y - line / 2, labelsWidth, line),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(count));
    }
    for (qint64 ms = 0; ms <= latencyAxis.end; ms += latencyAxis.step) {
        const int x = xOf(plot, double(ms));
        painter.setPen(gridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(x - 40, plot.bottom() + gap, 80, line),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(ms));
    }
    painter.drawText(QRect(plot.left(), plot.bottom() + gap + line, plot.width(), line),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("ms"));
    painter.save();
    painter.translate(margin, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter,
                     countTitle());
    painter.restore();

    // Neighbouring bars a pixel apart where they are wide enough to spare it.
    for (const Bin &bin : std::as_const(bins)) {
        const int left = xOf(plot, double(bin.from));
        const int right = xOf(plot, double(bin.to));
        const int top = std::min(yOf(plot, bin.count), plot.bottom() - 1);
        painter.fillRect(QRect(left, top, std::max(1, right - left - (right - left >= 4)),
                               plot.bottom() - top),
                         barColour);
    }
    painter.setPen(axisColour);
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    QPen limitPen(Qt::red, 2, Qt::DashLine);
    limitPen.setCapStyle(Qt::FlatCap);
    painter.setPen(limitPen);
    const int limitX = xOf(plot, limitMs);
    painter.drawLine(limitX, plot.top(), limitX, plot.bottom() - 1);

    // The legend: a sample of each and its name.
    const QString limitText = QStringLiteral("Line limit %1 ms").arg(limitMs);
    constexpr int sample = 20;
    const int swatch = metrics.ascent() * 2 / 3;
    const int legendWidth = swatch + gap + metrics.horizontalAdvance(countTitle()) + 4 * gap
                            + sample + gap + metrics.horizontalAdvance(limitText);
    const QRect legend((width() - legendWidth) / 2, height() - margin - line, legendWidth, line);
    int x = legend.left();
    painter.fillRect(QRect(x, legend.center().y() - swatch / 2, swatch, swatch), barColour);
    x += swatch + gap;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(x, legend.top(), legend.right() - x, line),
                     Qt::AlignLeft | Qt::AlignVCenter, countTitle());
    x += metrics.horizontalAdvance(countTitle()) + 4 * gap;
    painter.setPen(limitPen);
    painter.drawLine(x, legend.center().y(), x + sample, legend.center().y());
    x += sample + gap;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(x, legend.top(), legend.right() - x + 1, line),
                     Qt::AlignLeft | Qt::AlignVCenter, limitText);
}
