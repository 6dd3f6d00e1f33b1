#include "recordreplay.h"

#include "recordlayout.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int replyLength = 11;

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
QByteArray badFrame(const QString &remarks)
{
    for (const QString &remark :
         {RecordLayout::badChecksumRemark(), RecordLayout::badFrameRemark()}) {
        if (const qsizetype at = remarks.indexOf(remark); at >= 0)
            return hexWords(remarks.mid(at + remark.size()), replyLength);
    }
    return {};
}

} // namespace

bool RecordReplay::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parse(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')), error)) {
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

        QByteArray reply = badFrame(remarks);
        const QString column = line.mid(replyStart, replyWidth);
        if (reply.isEmpty() && column.startsWith(QStringLiteral(" 02 ")))
            reply = hexWords(column, replyLength);

        const QString sent = line.left(sentWidth);
        if (sent.trimmed().isEmpty()) {
            // A reply with no frame of its own follows the frame before; none precedes the first.
            if (!parsed.isEmpty() && !reply.isEmpty())
                parsed.last().laterReplies << reply;
            continue;
        }
        const QByteArray command = hexWords(sent, commandLength);
        if (command.isEmpty()) {
            *error = QStringLiteral("line %1 is not a line of a traffic record").arg(i + 1);
            return false;
        }
        parsed.append({command, reply, {}});
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
