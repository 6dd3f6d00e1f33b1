// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/hostcommand.h"
#include "link/serialline.h"
#include "link/validatorreply.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>

class AcceptanceStatistics;

namespace Ui {
class StatisticsWindow;
} // namespace Ui

// The acceptance statistics of the tester window as tables, with a histogram of the reply
// latency against the time a command and its reply take on the line. Modeless; it follows the
// figures while it is shown, redrawing a few times a second at most.
class StatisticsWindow : public QWidget
{
    Q_OBJECT

public:
    // A command (8 characters) and its reply (11) back to back, to a tenth of a millisecond.
    static constexpr std::chrono::duration<double, std::milli> lineLimit = LineCharacters(
            HostCommand::length + ValidatorReply::length);
    static constexpr double lineLimitMs = qRound(lineLimit.count() * 10) / 10.0;

    StatisticsWindow(const AcceptanceStatistics &statistics, QWidget *parent = nullptr);
    ~StatisticsWindow() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();
    void showNotes();
    void showUnattributedRow(bool shown);
    void showFigures();
    void showLatency();

    std::unique_ptr<Ui::StatisticsWindow> ui;
    const AcceptanceStatistics &statistics;
    QTimer refreshTimer;
    quint64 shownRevision = 0;
    bool shownOnce = false;
};
