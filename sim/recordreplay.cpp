// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/recordreplay.h"

#include "base/fileaccess.h"
#include "link/recordlayout.h"
#include "link/trafficlines.h"
#include "link/validatorreply.h"

#include <QRegularExpression>

namespace {

// Some 400,000 exchanges: a record longer than that is refused rather than replayed in part.
constexpr qint64 longestRecord = 64 * 1024 * 1024;

// brisvel-run's output ends with its summary, as text or as JSON.
bool summaryStarts(const QString &line)
{
    return line == RecordLayout::summaryHeading() || line.startsWith(QLatin1Char('{'));
}

// `count` bytes written in hexadecimal, one a word; empty when the words are not that.
QByteArray hexWords(const QString &text, int count)
{
    static const QRegularExpression byte(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(0, count);
    QByteArray bytes;
    for (const QString &word : words) {
        if (!byte.match(word).hasMatch())
            return {};
        bytes.append(char(word.toInt(nullptr, 16)));
    }
    return bytes.size() == count ? bytes : QByteArray();
}

// The bytes of a frame that was not a good reply, kept in the remarks; empty when there are none.
// False when a remark names such a frame but its bytes are not there whole.
bool badFrame(const QString &remarks, QByteArray *bytes)
{
    for (const QString &remark :
         {RecordLayout::badChecksumRemark(), RecordLayout::badFrameRemark()}) {
        if (const qsizetype at = remarks.indexOf(remark); at >= 0) {
            *bytes = hexWords(remarks.mid(at + remark.size()), ValidatorReply::length);
            return !bytes->isEmpty();
        }
    }
    return true;
}

// The reply of the reply column: its 11 bytes, or none when the column is blank (no reply yet)
// or holds the no-response line. False for anything else, such as a column cut short.
bool columnReply(const QString &column, QByteArray *bytes)
{
    const QString text = column.trimmed();
    if (text.isEmpty() || text == noResponseLine().trimmed())
        return true;
    *bytes = hexWords(text, ValidatorReply::length);
    return !bytes->isEmpty();
}

} // namespace

bool RecordReplay::load(const QString &path, QString *error)
{
    const FileRead read = readRegularFile(path, longestRecord);
    if (read.outcome != FileRead::Read || read.cut) {
        const QString reason = read.outcome == FileRead::Missing ? QStringLiteral("no such file")
                               : read.cut ? QStringLiteral("longer than the 64 MiB a replay takes")
                                          : read.reason;
        *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    // Lines end in LF, or CR LF where the record went through a Windows program.
    const QString text = QString::fromUtf8(read.bytes).remove(QLatin1Char('\r'));
    if (!parse(text.split(QLatin1Char('\n')), error)) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return false;
    }
    return true;
}

bool RecordReplay::parse(const QStringList &lines, QString *error)
{
    using namespace RecordLayout;
    QList<Step> parsed;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (summaryStarts(line))
            break;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype remarkAt = line.indexOf(remarkMark());
        const QString remarks = remarkAt < 0 ? QString() : line.mid(remarkAt + remarkMark().size());
        // A frame logged before the first build never reached the line.
        if (remarks.contains(nothingSentRemark()))
            continue;

        const QString sent = line.left(sentWidth);
        const bool ownFrame = !sent.trimmed().isEmpty();
        const QByteArray command = ownFrame ? hexWords(sent, commandLength) : QByteArray();
        if (ownFrame && command.isEmpty()) {
            *error = QStringLiteral("line %1 is not a line of a traffic record").arg(i + 1);
            return false;
        }
        // A reply column damaged or cut short would otherwise replay as no response.
        QByteArray reply;
        if (!badFrame(remarks, &reply)
            || (reply.isEmpty() && !columnReply(line.mid(replyStart, replyWidth), &reply))) {
            *error = QStringLiteral("line %1: its reply is neither blank, nor the no-response "
                                    "line, nor 11 bytes")
                             .arg(i + 1);
            return false;
        }
        if (!ownFrame) {
            // A reply with no frame of its own follows the frame before; none precedes the first.
            if (!parsed.isEmpty() && !reply.isEmpty())
                parsed.last().laterReplies << reply;
            continue;
        }
        parsed.append({command, reply, {}});
    }
    if (parsed.isEmpty()) {
        *error = QStringLiteral("no exchange to replay");
        return false;
    }
    steps = parsed;
    next = 0;
    differingCommands = 0;
    return true;
}

QString RecordReplay::status() const
{
    return QStringLiteral("replayed %1 of %2 frames, %3 differed from the record")
            .arg(next)
            .arg(steps.size())
            .arg(differingCommands);
}

Exchange RecordReplay::respond(const QByteArray &command)
{
    if (next >= steps.size())
        return {command, {}, {}};
    const Step &step = steps[next++];
    if (step.command != command)
        ++differingCommands;
    return {command, step.reply, step.laterReplies};
}
