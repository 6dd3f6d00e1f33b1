// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file/setupfile.h"

#include "base/fileaccess.h"
#include "base/numbers.h"
#include "base/wholewrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

constexpr int lineCount = 17;
constexpr int prefixKeyWidth = 12;

// Positions in a settings text are 16-bit, which bounds the text the format provides for.
constexpr qsizetype readableLength = 32767;
// What is read of a file: more than the format's bound, so that a longer file is seen as such.
constexpr qint64 readLimit = 64 * 1024;

const char *const keys[lineCount] = {
        "Sys.Color", "Com.Setting", "Poll.Rate", "1st.Value", "2nd.Value", "3rd.Value",
        "4th.Value", "5th.Value",   "6th.Value", "7th.Value", "1st.Check", "2nd.Check",
        "3rd.Check", "4th.Check",   "5th.Check", "6th.Check", "7th.Check"};

struct LineSpan
{
    qsizetype end; // where the line's text stops, before its CR LF or LF
    qsizetype next; // where the following line starts
};

// CR LF, a bare LF and a bare CR each end a line, so that a file saved by an editor with Unix or
// old Mac line ends still reads.
LineSpan firstLine(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n'))
            return {i, i + 1};
        if (text.at(i) == QLatin1Char('\r')) {
            const bool lfAfter = i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n');
            return {i, lfAfter ? i + 2 : i + 1};
        }
    }
    return {text.size(), text.size()};
}

// An editor may begin a file with the UTF-8 byte-order mark, which reads as these three 8-bit
// characters; it is not part of the first key.
constexpr QLatin1String byteOrderMark("\xef\xbb\xbf");

// Only lines that end within the first 32,767 characters after a byte-order mark are read: a
// longer file is damaged, so a line reaching past that bound is taken as missing rather than
// cut short, while the lines before it keep their values.
QString readablePart(const QString &text)
{
    QString part = text.startsWith(byteOrderMark) ? text.mid(byteOrderMark.size()) : text;
    if (part.size() <= readableLength)
        return part;
    part.truncate(readableLength);
    part.truncate(qMax(part.lastIndexOf(QLatin1Char('\n')), part.lastIndexOf(QLatin1Char('\r')))
                  + 1);
    return part;
}

// The text after a line's "=" when the line's key, blanks around it ignored, is one of the 17
// names; a key may stand anywhere. Blanks after "=" are ignored too.
struct KeyedLine
{
    int index; // into keys
    QString value;
};

std::optional<KeyedLine> keyedLine(const QString &line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    const QString key = line.left(equals).trimmed();
    for (int i = 0; i < lineCount; ++i) {
        if (key == QLatin1String(keys[i])) {
            qsizetype start = equals + 1;
            while (start < line.size() && line.at(start) == QLatin1Char(' '))
                ++start;
            return KeyedLine{i, line.mid(start)};
        }
    }
    return std::nullopt;
}

// The 17 values as texts, nothing where a value is missing. A file as the program writes it,
// the 17 keys in order on the first 17 lines, and a file that names none of the keys are read
// line by line with ReadNextSetting. Any other file was edited by hand: each line that names
// a key gives that key its value (the first such line wins), so a line removed, added or moved
// does not shift the values of the others.
std::array<std::optional<QString>, lineCount> settingTexts(const QString &text)
{
    QStringList lines;
    for (QString rest = readablePart(text); !rest.isEmpty();) {
        const LineSpan span = firstLine(rest);
        lines.append(rest.left(span.end));
        rest.remove(0, span.next);
    }
    std::array<std::optional<KeyedLine>, lineCount> found;
    bool inOrder = lines.size() >= lineCount;
    bool anyKey = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<KeyedLine> keyed = keyedLine(lines.at(i));
        inOrder = inOrder && (i >= lineCount || (keyed && keyed->index == i));
        if (keyed && !found[size_t(keyed->index)])
            found[size_t(keyed->index)] = keyed;
        anyKey = anyKey || keyed;
    }

    std::array<std::optional<QString>, lineCount> values;
    if (inOrder || !anyKey) {
        QString remainder = readablePart(text);
        for (std::optional<QString> &value : values)
            value = ReadNextSetting(remainder);
    } else {
        for (int i = 0; i < lineCount; ++i) {
            if (found[size_t(i)])
                values[size_t(i)] = found[size_t(i)]->value;
        }
    }
    return values;
}

std::optional<qint16> toInt16(const std::optional<QString> &value)
{
    return value ? Numbers::toInt16(*value) : std::nullopt;
}

} // namespace

SetupSettings SetupSettings::defaults(DisplayProfile profile)
{
    SetupSettings settings;
    settings.displayProfile = profile;
    return settings;
}

std::optional<QString> ReadNextSetting(QString &remainder)
{
    if (remainder.isEmpty())
        return std::nullopt;
    const LineSpan span = firstLine(remainder);
    const QString line = remainder.left(span.end);
    remainder.remove(0, span.next);
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || equals + 1 >= line.size())
        return std::nullopt;
    return line.mid(equals + 2);
}

// Each unreadable value (missing, not a number, out of range, a state other than 0, 1 or 2)
// keeps its default while the others are read as usual.
SetupSettings parseSetupText(const QString &text, DisplayProfile profile)
{
    SetupSettings settings = SetupSettings::defaults(profile);
    const auto values = settingTexts(text);
    // values[0], the profile, is not used: this run's is already fixed.
    if (const std::optional<qint16> port = toInt16(values[1]))
        settings.comPort = *port;
    if (values[2])
        settings.pollRate = *values[2];
    for (int i = 0; i < channelCount; ++i) {
        const std::optional<QString> &value = values[size_t(3 + i)];
        if (const std::optional<qint32> whole = value ? Numbers::toInt32(*value) : std::nullopt)
            settings.channelValues[size_t(i)] = QString::number(*whole);
        const std::optional<qint16> state = toInt16(values[size_t(10 + i)]);
        if (state && *state >= 0 && *state <= 2)
            settings.channelStates[size_t(i)] = *state;
    }
    return settings;
}

bool channelValueReadable(const QString &caption)
{
    SetupSettings settings;
    settings.channelValues[0] = caption;
    const std::optional<QString> read = settingTexts(QString::fromLatin1(formatSetup(settings)))[3];
    return read && Numbers::toInt32(*read);
}

QByteArray formatSetup(const SetupSettings &settings)
{
    // A text is written only up to its first line end, which is all that reading takes back;
    // a line break inside it would otherwise shift every later value by a line.
    const auto oneLine = [](const QString &text) {
        return text.left(firstLine(text).end);
    };

    QStringList values = {QString::number(settings.displayProfile),
                          QString::number(settings.comPort), oneLine(settings.pollRate)};
    for (const QString &caption : settings.channelValues)
        values.append(oneLine(caption));
    for (int state : settings.channelStates)
        values.append(QString::number(state));

    QByteArray file;
    for (int line = 0; line < lineCount; ++line) {
        file += QByteArray(keys[line]).leftJustified(prefixKeyWidth) + "= ";
        // One byte per character; a character outside Latin-1 becomes '?'.
        file += values.at(line).toLatin1() + "\r\n";
    }
    return file;
}

bool isSettingsText(const QString &text)
{
    return text.contains(QLatin1String("Sys.Color"));
}

DisplayProfile readStartupProfile(const QString &path)
{
    // A file that cannot be read is left alone: it may be the operator's, whole.
    const std::optional<QString> text = loadSetupFile(path);
    if (!text)
        return ProfileNotChosen;
    if (!isSettingsText(*text)) {
        // Not a settings file the program can read, but perhaps one the operator wants back.
        // When it cannot be moved, it stays, and the tester window leaves it alone.
        const QString backup = setupBackupPath(path);
        QFile::remove(backup);
        QFile::rename(path, backup);
        return ProfileNotChosen;
    }
    // Any number that names no layout brings up the chooser instead of opening no window.
    const std::optional<qint16> profile = toInt16(settingTexts(*text)[0]);
    if (profile == HighColour || profile == Colour256)
        return DisplayProfile(*profile);
    return ProfileNotChosen;
}

std::optional<QString> loadSetupFile(const QString &path, QString *unreadable)
{
    const FileRead read = readRegularFile(path, readLimit);
    if (read.outcome == FileRead::Refused && unreadable)
        *unreadable = read.reason;
    if (read.outcome != FileRead::Read)
        return std::nullopt;
    return QString::fromLatin1(read.bytes);
}

QString setupFileRefusal(const QString &path, std::optional<QString> *text)
{
    QString refusal;
    *text = loadSetupFile(path, &refusal);
    if (*text && !isSettingsText(**text)) {
        text->reset();
        refusal = QStringLiteral("it holds no Sys.Color, so it is no settings file of this "
                                 "program, and it could not be moved aside to %1")
                          .arg(QDir::toNativeSeparators(setupBackupPath(path)));
    }
    return refusal;
}

QString printableValue(const QString &value)
{
    QString shown;
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// Written through a temporary file in the same folder, so a failed or interrupted save leaves
// the previous file whole instead of a missing or partial one. Unbuffered, so that a failed
// write reports the system's reason ("No space left on device") before the file is dropped.
bool saveSetupFile(const QString &path, const SetupSettings &settings, QString *error)
{
    // The save would put a file in place of the folder, pipe or device the path leads to.
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("Cannot save the settings to %1: not a regular file")
                             .arg(QDir::toNativeSeparators(path));
        return false;
    }
    QSaveFile file(path);
    const QByteArray bytes = formatSetup(settings);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                         && writeWhole(file, bytes);
    QString reason = file.errorString();
    if (written && file.commit())
        return true;
    if (written)
        reason = file.errorString();
    if (error)
        *error = QStringLiteral("Cannot save the settings to %1: %2")
                         .arg(QDir::toNativeSeparators(path), reason);
    return false;
}

QString setupFilePath(const QString &folder)
{
    // QDir joins without doubling the separator when the folder is a drive's root.
    return QDir(folder).filePath(QStringLiteral("SETUP.INI"));
}

QString setupBackupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}
