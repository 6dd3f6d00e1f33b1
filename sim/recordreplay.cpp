#include "recordreplay.h"

#include <QFile>
#include <QRegularExpression>

namespace {

// The columns of a record line, as the tester writes them.
constexpr int sentWidth = 28;
constexpr int replyStart = 30;
constexpr int replyWidth = 43;
constexpr int replyLength = 11;

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
    static const QString badChecksum = QStringLiteral("bad checksum: ");
    QList<Step> parsed;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype remarkAt = line.indexOf(QStringLiteral(" # "));
        const QString remarks = remarkAt < 0 ? QString() : line.mid(remarkAt + 3);
        // A frame logged before the first build never reached the line.
        if (remarks.contains(QStringLiteral("nothing sent")))
            continue;

        QByteArray reply;
        if (const qsizetype at = remarks.indexOf(badChecksum); at >= 0)
            reply = hexWords(remarks.mid(at + badChecksum.size()), replyLength);
        else if (const QString column = line.mid(replyStart, replyWidth); column.startsWith(" 02 "))
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
