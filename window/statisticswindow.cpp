#include "statisticswindow.h"

#include "acceptancestatistics.h"
#include "ui_statisticswindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QHeaderView>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr int refreshMilliseconds = 250;
constexpr qint64 shortestAxisMs = 25; // the line's limit stays in view
constexpr qint64 mostBins = 200; // wider bins beyond, so that a slow outlier costs little
constexpr int unattributedRow = channelCount;

void setCell(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, column, item);
    }
    item->setText(text);
}

QString milliseconds(const std::optional<qint64> &value)
{
    return value ? QStringLiteral("%1 ms").arg(*value) : QStringLiteral("-");
}

} // namespace

StatisticsWindow::StatisticsWindow(const AcceptanceStatistics &statistics, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(std::make_unique<Ui::StatisticsWindow>())
    , statistics(statistics)
{
    ui->setupUi(this);
    for (int row = 0; row < ui->notesTable->rowCount(); ++row)
        setCell(ui->notesTable, row, 0, ui->notesTable->verticalHeaderItem(row)->text());
    ui->figuresTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    showUnattributedRow(false);

    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Reply latency"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    histogram = new QLineSeries(this);
    histogramArea = new QAreaSeries(histogram);
    histogramArea->setName(QStringLiteral("Replies"));
    limit = new QLineSeries;
    limit->setName(QStringLiteral("Line limit %1 ms").arg(lineLimitMs));
    limit->setPen(QPen(Qt::red, 2, Qt::DashLine));
    chart->addSeries(histogramArea);
    chart->addSeries(limit);
    latencyAxis = new QValueAxis;
    latencyAxis->setTitleText(QStringLiteral("ms"));
    latencyAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis = new QValueAxis;
    countAxis->setTitleText(QStringLiteral("Replies"));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(latencyAxis, Qt::AlignBottom);
    chart->addAxis(countAxis, Qt::AlignLeft);
    for (QAbstractSeries *series :
         {static_cast<QAbstractSeries *>(histogramArea), static_cast<QAbstractSeries *>(limit)}) {
        series->attachAxis(latencyAxis);
        series->attachAxis(countAxis);
    }
    ui->latencyChart->setChart(chart);
    ui->latencyChart->setRenderHint(QPainter::Antialiasing);

    refreshTimer.setInterval(refreshMilliseconds);
    connect(&refreshTimer, &QTimer::timeout, this, &StatisticsWindow::refresh);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::showEvent(QShowEvent *event)
{
    refresh();
    refreshTimer.start();
    QWidget::showEvent(event);
}

void StatisticsWindow::hideEvent(QHideEvent *event)
{
    refreshTimer.stop();
    QWidget::hideEvent(event);
}

void StatisticsWindow::refresh()
{
    if (shownOnce && statistics.revision() == shownRevision)
        return;
    shownOnce = true;
    shownRevision = statistics.revision();
    showNotes();
    showFigures();
    showLatency();
}

// The rows of the notes table: the channels, the outcomes of no channel, TOTAL.
void StatisticsWindow::showNotes()
{
    if (statistics.hasUnattributed() != !ui->notesTable->isRowHidden(unattributedRow))
        showUnattributedRow(statistics.hasUnattributed());
    for (int row = 0; row <= unattributedRow + 1; ++row) {
        const ChannelFigures figures = row < channelCount       ? statistics.channel(row + 1)
                                       : row == unattributedRow ? statistics.channel(0)
                                                                : statistics.total();
        const int counts[] = {figures.accepting, figures.escrowed, figures.stacked,
                              figures.returned, figures.rejected};
        for (int column = 0; column < 5; ++column)
            setCell(ui->notesTable, row, column + 1, QString::number(counts[column]));
        const std::optional<double> rate = figures.acceptanceRate();
        setCell(ui->notesTable, row, 6,
                rate ? QStringLiteral("%1 %").arg(*rate * 100, 0, 'f', 1) : QStringLiteral("-"));
    }
}

void StatisticsWindow::showUnattributedRow(bool shown)
{
    // The notes table shows the rows in use and no more; the rest of the height goes below.
    QTableWidget *notes = ui->notesTable;
    notes->setRowHidden(unattributedRow, !shown);
    notes->setFixedHeight(notes->horizontalHeader()->sizeHint().height()
                          + (notes->rowCount() - !shown)
                                    * notes->verticalHeader()->defaultSectionSize()
                          + 2 * notes->frameWidth());
}

void StatisticsWindow::showFigures()
{
    using Stats = AcceptanceStatistics;
    QList<std::pair<QString, QString>> rows;
    for (int i = 0; i < Stats::eventKinds; ++i) {
        rows.append({Stats::eventName(Stats::Event(i)),
                     QString::number(statistics.events(Stats::Event(i)))});
    }
    for (int i = 0; i < Stats::stateKinds; ++i) {
        rows.append({QStringLiteral("Entered: ") + Stats::stateName(Stats::State(i)).toLower(),
                     QString::number(statistics.statesEntered(Stats::State(i)))});
    }
    const Stats::Line &line = statistics.line();
    rows.append({{QStringLiteral("Frames sent"), QString::number(line.frames)},
                 {QStringLiteral("Replies"), QString::number(line.replies)},
                 {QStringLiteral("No response"), QString::number(line.noResponses)},
                 {QStringLiteral("Bad checksums"), QString::number(line.badChecksums)},
                 {QStringLiteral("Framing failures"), QString::number(line.framingFailures)},
                 {QStringLiteral("Extra replies"), QString::number(line.extraReplies)},
                 {QStringLiteral("Stray bytes"), QString::number(line.strayBytes)},
                 {QStringLiteral("Latency median"), milliseconds(statistics.latencyPercentile(0.5))},
                 {QStringLiteral("Latency 95%"), milliseconds(statistics.latencyPercentile(0.95))},
                 {QStringLiteral("Latency 99%"), milliseconds(statistics.latencyPercentile(0.99))},
                 {QStringLiteral("Latency worst"), milliseconds(statistics.worstLatency())}});
    ui->figuresTable->setRowCount(int(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        setCell(ui->figuresTable, row, 0, rows[row].first);
        setCell(ui->figuresTable, row, 1, rows[row].second);
    }
}

void StatisticsWindow::showLatency()
{
    const std::map<qint64, int> &counts = statistics.latencyCounts();
    const qint64 end = std::max(shortestAxisMs, statistics.worstLatency().value_or(0) + 1);
    const qint64 width = (end + mostBins - 1) / mostBins;
    std::map<qint64, int> bins;
    int tallest = 1;
    for (const auto &[ms, count] : counts)
        tallest = std::max(tallest, bins[ms / width] += count);

    // Steps: each bin as a flat top from its start to its end.
    QList<QPointF> points{{0, 0}};
    for (const auto &[bin, count] : bins) {
        const double from = double(bin * width);
        const double to = double((bin + 1) * width);
        points << QPointF(from, 0) << QPointF(from, count) << QPointF(to, count) << QPointF(to, 0);
    }
    points << QPointF(double(end), 0);
    histogram->replace(points);
    limit->replace({{lineLimitMs, 0}, {lineLimitMs, double(tallest)}});
    latencyAxis->setRange(0, double(end));
    latencyAxis->applyNiceNumbers();
    countAxis->setRange(0, tallest);
    countAxis->applyNiceNumbers();
}
