// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/statisticswindow.h"

#include "ui_statisticswindow.h"
#include "window/model/acceptancestatistics.h"

#include <QHeaderView>

namespace {

constexpr int refreshMilliseconds = 250;
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

    ui->latencyHistogram->setLimit(lineLimitMs);

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
    ui->latencyHistogram->setCounts(statistics.latencyCounts());
}
