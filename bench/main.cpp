// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/microbench.h"
#include "bench/modelpoller.h"
#include "bench/programrun.h"
#include "bench/soak.h"
#include "bench/stats.h"
#include "bench/validatorrig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QSysInfo>
#include <QThread>

#include <cmath>
#include <cstdio>

#include <sys/resource.h>

// brisvel-bench [all|micro|model|program|cost|soak] [--frames N] [--seconds S] [--soak-polls N]
//               [Google Benchmark options]
// `cost` is the program at the 30 ms setting alone: its poll timing and its CPU and memory.
// Takes every figure of docs/PERFORMANCE.md from one run and prints them as a table. Exits with
// 1 when a measurement could not be made or the soak lost a note or grew.
namespace {

struct Options
{
    QString what = QStringLiteral("all");
    qsizetype frames = 1000; // frames per poll-timing run
    int seconds = 60; // of the program's cost measurement
    qsizetype soakPolls = 100000;
};

struct Row
{
    QString measurement;
    QString figure;
    QString goal;
    QString met; // "yes", "no" or empty when there is no goal
};

QList<Row> table;

void print(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString ms(double value, int decimals = 2)
{
    return QString::number(value, 'f', decimals) + QStringLiteral(" ms");
}

QString verdict(bool met)
{
    return met ? QStringLiteral("yes") : QStringLiteral("no");
}

// Runs `job` in an event loop of its own until it reports that it finished.
template<typename Job>
void runToEnd(Job &job)
{
    QEventLoop loop;
    QObject::connect(&job, &Job::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    job.start();
    loop.exec();
}

QList<double> periodsMs(const QList<qint64> &times)
{
    QList<double> periods;
    for (qsizetype i = 1; i < times.size(); ++i)
        periods.append(double(times.at(i) - times.at(i - 1)) / 1e6);
    return periods;
}

void addPollTiming(const QString &who, int interval, const ValidatorRig &rig)
{
    const QList<qint64> &times = rig.frameTimes();
    const Summary periods = summarize(periodsMs(times));
    const QString prefix = QStringLiteral("%1, %2 ms setting: ").arg(who).arg(interval);
    table.append({prefix + QStringLiteral("period between frames, median"), ms(periods.median),
                  QStringLiteral("%1 ± 0.5 ms").arg(interval),
                  verdict(std::fabs(periods.median - interval) <= 0.5)});
    table.append({prefix + QStringLiteral("period, 99th percentile"), ms(periods.p99),
                  QStringLiteral("%1 ± 1 ms").arg(interval),
                  verdict(std::fabs(periods.p99 - interval) <= 1)});
    table.append({prefix + QStringLiteral("period, worst of %1").arg(periods.count),
                  ms(periods.worst), QString(), QString()});
    const double seconds = double(times.last() - times.first()) / 1e9;
    const double rate = double(times.size() - 1) / seconds;
    table.append({prefix + QStringLiteral("polls per second / setting's rate"),
                  QStringLiteral("%1 / %2 = %3")
                          .arg(rate, 0, 'f', 2)
                          .arg(1000.0 / interval, 0, 'f', 2)
                          .arg(rate * interval / 1000.0, 0, 'f', 4),
                  QString(), QString()});
    table.append({prefix + QStringLiteral("no-response lines"), QString::number(rig.repeats()),
                  interval == 30 ? QStringLiteral("0") : QString(),
                  interval == 30 ? verdict(rig.repeats() == 0) : QString()});
}

// User and system time of this process so far, in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &time) {
        return double(time.tv_sec) + double(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool measureModel(const Options &options)
{
    QList<double> latencies;
    for (const int interval : {30, 100}) {
        ValidatorRig rig;
        QString error;
        if (!rig.open(false, &error)) {
            print(QStringLiteral("model run: %1").arg(error));
            return false;
        }
        ModelPoller poller(rig, interval, options.frames);
        const double cpuBefore = cpuSeconds();
        const qint64 wallBefore = rig.now();
        runToEnd(poller);
        const double cpuShare = (cpuSeconds() - cpuBefore) / (double(rig.now() - wallBefore) / 1e9);
        if (poller.portFailed()) {
            print(QStringLiteral("model run: the port failed"));
            return false;
        }
        addPollTiming(QStringLiteral("Model"), interval, rig);
        table.append({QStringLiteral("Model, %1 ms setting: CPU of the model and the simulator "
                                     "together, share of one core")
                              .arg(interval),
                      QStringLiteral("%1 %").arg(cpuShare * 100, 0, 'f', 2), QString(), QString()});
        latencies += poller.replyLatencies();
    }
    const Summary reply = summarize(latencies);
    table.append({QStringLiteral("Reply handling, last byte out to log row, median (%1 replies)")
                          .arg(reply.count),
                  ms(reply.median, 3), QString(), QString()});
    table.append({QStringLiteral("Reply handling, 99th percentile"), ms(reply.p99, 3),
                  QStringLiteral("< 2 ms"), verdict(reply.p99 < 2)});
    table.append(
            {QStringLiteral("Reply handling, worst"), ms(reply.worst, 3), QString(), QString()});
    return true;
}

bool measureProgram(const Options &options, const QList<int> &intervals)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/brisvel");
    if (const QString missing = ProgramRun::missing(program); !missing.isEmpty()) {
        print(QStringLiteral("program runs skipped: %1").arg(missing));
        return true;
    }
    for (const int interval : intervals) {
        ValidatorRig rig;
        QString error;
        if (!rig.open(false, &error)) {
            print(QStringLiteral("program run: %1").arg(error));
            return false;
        }
        // The cost is measured at the 30 ms setting only; the other run just polls.
        ProgramRun run(rig, program, interval, options.frames, interval == 30 ? options.seconds : 1);
        runToEnd(run);
        if (!run.error().isEmpty()) {
            print(QStringLiteral("program run: %1").arg(run.error()));
            return false;
        }
        addPollTiming(QStringLiteral("Program"), interval, rig);
        if (interval != 30)
            continue;
        const ProgramRun::Result &result = run.result();
        table.append({QStringLiteral("Start-up: process start to the first frame on the line"),
                      ms(result.startupMs, 1), QString(), QString()});
        table.append({QStringLiteral("Start-up: of which process start to the window shown"),
                      ms(result.windowMs, 1), QString(), QString()});
        table.append({QStringLiteral("Start-up: START pressed to the first frame"),
                      ms(result.clickToFrameMs, 1), QString(), QString()});
        table.append({QStringLiteral("Cost polling at 30 ms for %1 s: CPU, share of one core")
                              .arg(options.seconds),
                      QStringLiteral("%1 %").arg(result.cpuShare * 100, 0, 'f', 2),
                      QStringLiteral("< 2 %"), verdict(result.cpuShare < 0.02)});
        const double rssMB = result.rssMiB * 1.048576;
        table.append({QStringLiteral("Cost polling at 30 ms: resident memory at the end (peak)"),
                      QStringLiteral("%1 MB (%2 MB)")
                              .arg(rssMB, 0, 'f', 1)
                              .arg(result.peakRssMiB * 1.048576, 0, 'f', 1),
                      QStringLiteral("< 60 MB"), verdict(rssMB < 60)});
    }
    return true;
}

bool measureSoak(const Options &options)
{
    const QString simulator = QCoreApplication::applicationDirPath()
                              + QStringLiteral("/brisvel-validator-sim");
    Soak soak(simulator, options.soakPolls);
    runToEnd(soak);
    if (!soak.error().isEmpty()) {
        print(QStringLiteral("soak: %1").arg(soak.error()));
        return false;
    }
    const Soak::Result &result = soak.result();
    table.append({QStringLiteral("Soak: polls against the fast simulator, in seconds"),
                  QStringLiteral("%1 in %2 s").arg(result.polls).arg(result.seconds, 0, 'f', 1),
                  QString(), QString()});
    table.append({QStringLiteral("Soak: notes stacked by the simulator / counted by the tester"),
                  QStringLiteral("%1 / %2").arg(result.stackedBySimulator).arg(result.counted),
                  QStringLiteral("equal"), verdict(result.stackedBySimulator == result.counted)});
    table.append({QStringLiteral("Soak: sends that found no reply"),
                  QString::number(result.noResponse), QString(), QString()});
    const double growth = result.rssAtEndMiB - result.rssAfterFirstMiB;
    table.append({QStringLiteral("Soak: resident memory after 1,000 polls / at the end"),
                  QStringLiteral("%1 / %2 MiB (%3%4 MiB)")
                          .arg(result.rssAfterFirstMiB, 0, 'f', 2)
                          .arg(result.rssAtEndMiB, 0, 'f', 2)
                          .arg(growth < 0 ? QString() : QStringLiteral("+"))
                          .arg(growth, 0, 'f', 2),
                  QStringLiteral("within 1 MiB"), verdict(std::fabs(growth) <= 1)});
    return result.stackedBySimulator == result.counted && std::fabs(growth) <= 1;
}

void measureMicro(int argc, char **argv)
{
    for (const Microbench::Timing &timing : Microbench::run(argc, argv))
        table.append({QStringLiteral("Core: %1, per call").arg(timing.name),
                      QStringLiteral("%1 ns CPU, %2 ns wall")
                              .arg(timing.cpuNanoseconds, 0, 'f', 0)
                              .arg(timing.wallNanoseconds, 0, 'f', 0),
                      QString(), QString()});
}

QString machine()
{
    QString cpu = QStringLiteral("unknown processor");
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                cpu = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
        }
    }
    QFile load(QStringLiteral("/proc/loadavg"));
    const QString loadAverage = load.open(QIODevice::ReadOnly)
                                        ? QString::fromLatin1(load.readAll().left(14).trimmed())
                                        : QStringLiteral("unknown");
    return QStringLiteral("%1, %2 logical cores; %3, kernel %4; Qt %5; load average at the end "
                          "%6")
            .arg(cpu)
            .arg(QThread::idealThreadCount())
            .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(),
                 QString::fromLatin1(qVersion()), loadAverage);
}

void printTable()
{
    print(QString());
    print(QStringLiteral("Machine: ") + machine());
    print(QString());
    print(QStringLiteral("| Measurement | Figure | Goal | Met |"));
    print(QStringLiteral("|---|---|---|---|"));
    for (const Row &row : table)
        print(QStringLiteral("| %1 | %2 | %3 | %4 |")
                      .arg(row.measurement, row.figure, row.goal, row.met));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    QList<char *> benchmarkArguments{argv[0]};
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString value = arguments.value(i + 1);
        if (argument == QLatin1String("--frames")) {
            options.frames = value.toLongLong();
            ++i;
        } else if (argument == QLatin1String("--seconds")) {
            options.seconds = value.toInt();
            ++i;
        } else if (argument == QLatin1String("--soak-polls")) {
            options.soakPolls = value.toLongLong();
            ++i;
        } else if (argument.startsWith(QLatin1String("--benchmark"))) {
            benchmarkArguments.append(argv[i]);
        } else if (!argument.startsWith(QLatin1Char('-'))) {
            options.what = argument;
        } else {
            print(QStringLiteral("usage: brisvel-bench [all|micro|model|program|cost|soak] "
                                 "[--frames N] [--seconds S] [--soak-polls N] "
                                 "[--benchmark_...]"));
            return 2;
        }
    }
    if (options.frames < 2 || options.seconds < 1 || options.soakPolls < 1000) {
        print(QStringLiteral("brisvel-bench: --frames from 2, --seconds from 1, "
                             "--soak-polls from 1000"));
        return 2;
    }

    const bool all = options.what == QLatin1String("all");
    bool ok = true;
    if (all || options.what == QLatin1String("micro"))
        measureMicro(int(benchmarkArguments.size()), benchmarkArguments.data());
    if (all || options.what == QLatin1String("model"))
        ok = measureModel(options) && ok;
    if (all || options.what == QLatin1String("program"))
        ok = measureProgram(options, {30, 100}) && ok;
    if (options.what == QLatin1String("cost"))
        ok = measureProgram(options, {30}) && ok;
    if (all || options.what == QLatin1String("soak"))
        ok = measureSoak(options) && ok;
    printTable();
    return ok ? 0 : 1;
}
