// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/microbench.h"

#include "link/hostcommand.h"
#include "link/trafficlines.h"
#include "link/validatorreply.h"
#include "tests/support/memoryline.h"
#include "window/model/testermodel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace Microbench {

namespace {

// A stacked note of channel 3, and the idle reply of an ordinary poll.
const QByteArray stackedReply = QByteArray::fromHex("020B21110018000000"
                                                    "0323");
const QByteArray idleReply = QByteArray::fromHex("020B21010000000000"
                                                 "032B");

void buildFrame(benchmark::State &state)
{
    BuildInputs inputs;
    inputs.channelStates = {1, 1, 1, 1, 1, 1, 1};
    inputs.escrow = true;
    inputs.escrowed = true;
    inputs.noteIndex = 3;
    for (auto _ : state) {
        inputs.ackToggle = !inputs.ackToggle;
        benchmark::DoNotOptimize(BuildCommand(inputs));
    }
}

void decodeAReply(benchmark::State &state)
{
    const ValidatorReply reply = *ValidatorReply::fromRead(stackedReply);
    const DecodeMemory memory;
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeReply(reply, memory));
}

void sentLine(benchmark::State &state)
{
    BuildInputs inputs;
    inputs.channelStates = {1, 1, 1, 1, 1, 1, 1};
    const HostCommand command = BuildCommand(inputs).command;
    for (auto _ : state)
        benchmark::DoNotOptimize(sentFrameLine(command));
}

void replyLogLine(benchmark::State &state)
{
    const ValidatorReply reply = *ValidatorReply::fromRead(stackedReply);
    const QString stateTag = QStringLiteral("   ");
    const QString note = QStringLiteral("3");
    const QString eventTag = QStringLiteral("STD");
    for (auto _ : state)
        benchmark::DoNotOptimize(replyLine(reply, stateTag, note, eventTag));
}

void noResponse(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(noResponseLine());
}

// The model's receive event for the reply of an ordinary poll on an in-memory line: read,
// decode, log and the displays.
void receiveAndLog(benchmark::State &state)
{
    MemoryLine line;
    TesterModel model(&line);
    model.setPortText(QStringLiteral("1"));
    model.setComPort(1);
    model.markPortForReopen();
    model.setIntervalText(QStringLiteral("65535"));
    model.clickModeButton();
    model.setRunSwitch(true);
    for (auto _ : state)
        line.push(idleReply);
    benchmark::DoNotOptimize(model.log().reply(0));
}

class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                timings.append({QString::fromStdString(run.benchmark_name()),
                                run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()});
        }
    }

    QList<Timing> timings;
};

} // namespace

QList<Timing> run(int argc, char **argv)
{
    benchmark::RegisterBenchmark("BuildCommand", buildFrame);
    benchmark::RegisterBenchmark("decodeReply", decodeAReply);
    benchmark::RegisterBenchmark("sentFrameLine", sentLine);
    benchmark::RegisterBenchmark("replyLine", replyLogLine);
    benchmark::RegisterBenchmark("noResponseLine", noResponse);
    benchmark::RegisterBenchmark("receive and log one reply (model)", receiveAndLog);
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.timings;
}

} // namespace Microbench
