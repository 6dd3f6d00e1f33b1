// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/console.h"

#include "sim/validatorengine.h"
#include "sim/validatorline.h"

#include <QRegularExpression>

namespace {

struct EngineFaultCommand
{
    const char *name;
    ValidatorEngine::Fault fault;
};

constexpr EngineFaultCommand engineFaults[] = {
        {"jam", ValidatorEngine::Fault::Jam},
        {"full", ValidatorEngine::Fault::StackerFull},
        {"cheat", ValidatorEngine::Fault::Cheat},
        {"reject", ValidatorEngine::Fault::Reject},
        {"failure", ValidatorEngine::Fault::Failure},
        {"powerup", ValidatorEngine::Fault::PowerUp},
        {"calibrate", ValidatorEngine::Fault::Calibration},
};

struct LineFaultCommand
{
    const char *name;
    ValidatorLine::Fault fault;
};

constexpr LineFaultCommand lineFaults[] = {
        {"drop", ValidatorLine::Fault::Drop},       {"corrupt", ValidatorLine::Fault::Corrupt},
        {"garbage", ValidatorLine::Fault::Garbage}, {"split", ValidatorLine::Fault::Split},
        {"extra", ValidatorLine::Fault::Extra},     {"late", ValidatorLine::Fault::Late},
        {"cut", ValidatorLine::Fault::Cut},         {"double", ValidatorLine::Fault::Double},
        {"echo", ValidatorLine::Fault::Echo},
};

} // namespace

Console::Console(ValidatorEngine &engine, ValidatorLine &line, QObject *parent)
    : QObject(parent)
    , engine(engine)
    , line(line)
{ }

QStringList Console::commandNames()
{
    QStringList names{QStringLiteral("insert N"), QStringLiteral("clear")};
    for (const EngineFaultCommand &command : engineFaults)
        names.append(QLatin1String(command.name));
    for (const LineFaultCommand &command : lineFaults)
        names.append(QLatin1String(command.name));
    names << QStringLiteral("hangup") << QStringLiteral("status") << QStringLiteral("quit");
    return names;
}

bool Console::execute(const QString &command)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = command.trimmed().split(blanks, Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#')))
        return true;
    const QString name = words.first().toLower();

    if (name == QLatin1String("insert"))
        return insert(words);
    if (!commandNames().contains(name)) {
        emit error(QStringLiteral("unknown command: %1").arg(words.first()));
        return false;
    }
    if (words.size() > 1) {
        emit error(QStringLiteral("%1: takes no argument").arg(name));
        return false;
    }
    for (const EngineFaultCommand &fault : engineFaults) {
        if (name == QLatin1String(fault.name)) {
            engine.raise(fault.fault);
            return true;
        }
    }
    for (const LineFaultCommand &fault : lineFaults) {
        if (name == QLatin1String(fault.name)) {
            line.inject(fault.fault);
            return true;
        }
    }
    if (name == QLatin1String("clear")) {
        engine.clear();
    } else if (name == QLatin1String("status")) {
        emit output(status());
    } else if (name == QLatin1String("quit")) {
        emit quitRequested();
    } else if (name == QLatin1String("hangup")) {
        emit hangUpRequested();
    }
    return true;
}

bool Console::insert(const QStringList &words)
{
    bool ok = false;
    const int channel = words.size() == 2 ? words[1].toInt(&ok) : 0;
    if (!ok || channel < 1 || channel > channelCount) {
        emit error(QStringLiteral("insert: give a channel from 1 to %1").arg(channelCount));
        return false;
    }
    if (!engine.insertNote(channel)) {
        emit error(QStringLiteral("insert: the validator cannot take a note now"));
        return false;
    }
    return true;
}

QString Console::status() const
{
    return QStringLiteral("commands %1 replies %2 stacked %3 returned %4")
            .arg(engine.commands())
            .arg(line.repliesSent())
            .arg(engine.stacked())
            .arg(engine.returned());
}
