// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/runreport.h"

#include "run/headlessrun.h"
#include "window/model/trafficrecord.h"

#include <QDateTime>
#include <QStringList>

namespace {

QString outcome(const HeadlessRun &run)
{
    switch (run.exitCode()) {
    case HeadlessRun::AllAnswered:
        return QStringLiteral("every frame was answered");
    case HeadlessRun::NoResponse:
        return QStringLiteral("some frames got no reply or were not sent when due");
    default:
        return QStringLiteral("the port failed: ") + run.portFailureText();
    }
}

} // namespace

QString runReport(const RunOptions &options, const HeadlessRun &run)
{
    QStringList values;
    QString enables;
    for (int i = 0; i < channelCount; ++i) {
        values << run.model().tally().noteValue(i);
        enables += QLatin1Char(options.channelStates[size_t(i)] == 1 ? '1' : '0');
    }
    const QStringList lines{
            QStringLiteral("Brisvel run report"),
            QString(),
            QStringLiteral("Port      COM%1").arg(options.comPort),
            QStringLiteral("Interval  %1 ms").arg(run.model().pollInterval()),
            QStringLiteral("Mode      %1").arg(modeOptionValue(options.mode)),
            QStringLiteral("Channels  %1 (values %2)").arg(enables, values.join(QLatin1Char(' '))),
            QStringLiteral("Escrow    %1")
                    .arg(options.escrow ? QStringLiteral("on") : QStringLiteral("off")),
            QStringLiteral("Started   %1").arg(TrafficRecord::formatTime(run.startTime())),
            QStringLiteral("Ended     %1").arg(TrafficRecord::formatTime(run.endTime())),
            QString(),
            run.summaryText(),
            QString(),
            QStringLiteral("Result: %1 (exit status %2)").arg(outcome(run)).arg(run.exitCode()),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
