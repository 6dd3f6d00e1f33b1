// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file/setupfile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include "tests/support/filesizelimit.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// What a 256-colour window opened without a file and closed at once writes.
const QByteArray defaultFile = "Sys.Color   = 2\r\nCom.Setting = 1\r\nPoll.Rate   = 100\r\n"
                               "1st.Value   = 1\r\n2nd.Value   = 2\r\n3rd.Value   = 5\r\n"
                               "4th.Value   = 10\r\n5th.Value   = 20\r\n6th.Value   = 50\r\n"
                               "7th.Value   = 100\r\n1st.Check   = 1\r\n2nd.Check   = 1\r\n"
                               "3rd.Check   = 1\r\n4th.Check   = 1\r\n5th.Check   = 1\r\n"
                               "6th.Check   = 1\r\n7th.Check   = 1\r\n";

// `file` with line `number` (from 1) holding `value` after its 14-character prefix.
QString withLine(int number, const QString &value, const QString &file = defaultFile)
{
    QStringList lines = file.split("\r\n");
    lines[number - 1] = lines[number - 1].left(14) + value;
    return lines.join("\r\n");
}

// The bytes the next close writes after a window has read `text`.
QByteArray rewritten(const QString &text)
{
    return formatSetup(parseSetupText(text, Colour256));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(SetupFile, AWindowWithoutAFileWritesThe296BytesAndReadsThemBack)
{
    QTemporaryDir dir;
    const QString path = setupFilePath(dir.path());
    EXPECT_EQ(path, dir.path() + "/SETUP.INI");
    EXPECT_EQ(setupFilePath("/"), "/SETUP.INI");
    ASSERT_FALSE(loadSetupFile(path));
    ASSERT_TRUE(saveSetupFile(path, SetupSettings::defaults(Colour256), nullptr));
    EXPECT_EQ(fileBytes(path), defaultFile);
    const SetupSettings read = parseSetupText(*loadSetupFile(path), Colour256);
    ASSERT_TRUE(writeFile(path, QByteArray(100000, 'x')));
    EXPECT_EQ(loadSetupFile(path)->size(), 65536) << "read up to a bound";
    ASSERT_TRUE(saveSetupFile(path, read, nullptr));
    EXPECT_EQ(fileBytes(path), defaultFile);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList("SETUP.INI"));
}

TEST(SetupFile, EveryValueSurvivesARoundTrip)
{
    // Texts keep blanks, tabs and 8-bit characters; states keep a greyed 2.
    const QByteArray file = "Sys.Color   = 1\r\nCom.Setting = -3\r\nPoll.Rate   =  2\t5\xe9 \r\n"
                            "1st.Value   = 0\r\n2nd.Value   = -7\r\n3rd.Value   = 2147483647\r\n"
                            "4th.Value   = 1000\r\n5th.Value   = 5\r\n6th.Value   = 6\r\n"
                            "7th.Value   = 7\r\n1st.Check   = 0\r\n2nd.Check   = 2\r\n"
                            "3rd.Check   = 1\r\n4th.Check   = 0\r\n5th.Check   = 0\r\n"
                            "6th.Check   = 1\r\n7th.Check   = 0\r\n";
    const SetupSettings read = parseSetupText(QString::fromLatin1(file), HighColour);
    EXPECT_EQ(read.pollRate, QString::fromLatin1(" 2\t5\xe9 "));
    EXPECT_EQ(formatSetup(read), file);
    // Reading takes a text back only up to its line end; written whole, it would shift later lines.
    SetupSettings settings = SetupSettings::defaults(Colour256);
    settings.pollRate = "12\r\n34";
    settings.channelValues[0] = "5\n6";
    settings.channelValues[1] = "7\r8";
    EXPECT_EQ(formatSetup(settings),
              withLine(5, "7", withLine(4, "5", withLine(3, "12"))).toLatin1());
}

TEST(SetupFile, ReadNextSettingSkipsOneCharacterAfterTheFirstEquals)
{
    const std::tuple<const char *, std::optional<QString>, const char *> cases[] = {
            {"Poll.Rate   =100\r\nNext", "00", "Next"},
            {"Poll.Rate   =  250 \r\n", " 250 ", ""},
            {"A= x=y\r\nB= 1\r\n", "x=y", "B= 1\r\n"},
            {"A= v\nB= 1\n", "v", "B= 1\n"},
            {"A= 1\r0\r\n", "1", "0\r\n"},
            {"A= v\r\r\n", "v", "\r\n"},
            {"A= v", "v", ""},
            {"A= \r\nB", "", "B"},
            {"A=\r\nB= 1", std::nullopt, "B= 1"},
            {"no equals\r\nB= 1", std::nullopt, "B= 1"},
            {"", std::nullopt, ""}};
    for (const auto &[text, value, rest] : cases) {
        QString remainder = text;
        EXPECT_EQ(ReadNextSetting(remainder), value) << text;
        EXPECT_EQ(remainder, rest) << text;
    }
}

TEST(SetupFile, EachValueIsConvertedOrKeepsItsDefault)
{
    const std::tuple<int, const char *, const char *> cases[] = {
            {1, "junk", "2"},   {2, "3", "3"},
            {2, " 7 ", "7"},    {2, "40000", "1"},
            {2, "COM2", "1"},   {3, " 250 ", " 250 "},
            {3, "", ""},        {7, "20.5", "20"},
            {7, "21.5", "22"},  {4, " 5", "5"},
            {5, "2.5", "2"},    {6, "1e3", "1000"},
            {4, "-4", "-4"},    {10, "2147483648", "100"},
            {9, "fifty", "50"}, {4, "", "1"},
            {11, "0", "0"},     {12, "2", "2"},
            {13, "1.5", "2"},   {14, "3", "1"},
            {15, "-1", "1"},    {16, "x", "1"},
            {17, "40000", "1"}};
    for (const auto &[line, value, written] : cases)
        EXPECT_EQ(rewritten(withLine(line, value)), withLine(line, written).toLatin1())
                << "line " << line << ": " << value;
}

TEST(SetupFile, DamagedFilesReadWhatTheyCanAndRewriteWhole)
{
    const QString port4 = withLine(2, "4");
    const QString noEquals = withLine(6, "7", port4).replace("2nd.Value   = 2", "2nd.Value 2");
    // Edited by hand: lines removed, duplicated or moved keep every other key's value.
    const QString edited = withLine(8, "25",
                                    withLine(13, "0", withLine(6, "7", withLine(3, "250", port4))));
    QStringList removed = edited.split("\r\n");
    for (int line : {13, 10, 6, 3})
        removed.removeAt(line - 1);
    QStringList duplicated = edited.split("\r\n");
    duplicated.insert(7, duplicated.at(7));
    QStringList reordered = edited.split("\r\n");
    std::reverse(reordered.begin(), reordered.end());
    const std::tuple<const char *, QString, QString> cases[] = {
            {"LF line ends", QString(port4).replace("\r\n", "\n"), port4},
            {"CR line ends", QString(port4).replace("\r\n", "\r"), port4},
            {"a byte-order mark", QString::fromLatin1("\xef\xbb\xbf") + port4, port4},
            {"three lines", port4.section("\r\n", 0, 2) + "\r\n", port4},
            {"a line without =", noEquals, withLine(6, "7", port4)},
            {"no CR LF at the end", withLine(17, "0").chopped(2), withLine(17, "0")},
            {"empty", "", defaultFile},
            {"binary", QString::fromLatin1("\0\xff=\x01\n\n=", 7), defaultFile},
            {"junk after 17 lines", port4 + QString(40000, 'x'), port4},
            {"four lines removed", removed.join("\r\n"), withLine(8, "25", port4)},
            {"a line twice", duplicated.join("\r\n"), edited},
            {"lines reversed", reordered.join("\r\n"), edited},
            {"blanks around keys", "  Com.Setting=4\r\n5th.Value =   25 \r\nx\r\n",
             withLine(8, "25", port4)},
            {"first of two wins", "Com.Setting = 4\r\nCom.Setting = 9\r\n", port4},
            {"keys in other case", "com.setting = 4\r\nSYS.COLOR = 1\r\n", defaultFile},
            // A file that names none of the keys is read line by line.
            {"keys renamed",
             QString(port4).replace(
                     QRegularExpression("^[^=]*", QRegularExpression::MultilineOption), "Other"),
             port4}};
    for (const auto &[name, text, written] : cases)
        EXPECT_EQ(rewritten(text), written.toLatin1()) << name;
}

TEST(SetupFile, OnlyLinesEndingWithinTheFirst32767CharactersAreRead)
{
    // Line 3's trailing blanks bring the file to exactly 32,767 characters, then two more: with
    // one more, line 17 would still end, at its CR.
    for (const int size : {32767, 32769}) {
        const QString text = withLine(17, "0", withLine(3, "100" + QString(size - 296, ' ')));
        ASSERT_EQ(text.size(), size);
        EXPECT_EQ(parseSetupText(text, Colour256).channelStates[6], size == 32767 ? 0 : 1) << size;
    }
}

TEST(SetupFile, StartupTakesTheProfileOfSysColor)
{
    QString utf16 = defaultFile;
    utf16 = QString::fromLatin1(QByteArray::fromRawData(
            reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2));
    const std::tuple<QString, DisplayProfile, bool> cases[] = {
            {defaultFile, Colour256, true},
            {withLine(1, "1"), HighColour, true},
            {QString::fromLatin1("\xef\xbb\xbf") + withLine(1, "1"), HighColour, true},
            {withLine(1, "1.5"), Colour256, true},
            {withLine(1, "0"), ProfileNotChosen, true},
            {withLine(1, "3"), ProfileNotChosen, true},
            {withLine(1, "x"), ProfileNotChosen, true},
            {"Sys.Color\r\n", ProfileNotChosen, true},
            {"Other.Key   = 1\r\nSys.Color   = 2\r\n", Colour256, true},
            {"Other.Key   = 1\r\nSys.Color\r\n", HighColour, true},
            {"sys.color   = 1\r\n", ProfileNotChosen, false},
            {"Com.Setting = 1\r\n", ProfileNotChosen, false},
            {"\xff\xfe\x01\r\n" + withLine(1, "1").mid(17), ProfileNotChosen, false},
            {utf16, ProfileNotChosen, false}};
    for (const auto &[text, profile, kept] : cases) {
        QTemporaryDir dir;
        const QString path = setupFilePath(dir.path());
        ASSERT_TRUE(writeFile(path, text.toLatin1()) && writeFile(path + ".bak", "older"));
        EXPECT_EQ(readStartupProfile(path), profile) << text.toStdString();
        // A file that start-up cannot use is moved aside whole, replacing an older backup.
        EXPECT_EQ(QFile::exists(path), kept) << text.toStdString();
        EXPECT_EQ(fileBytes(path + ".bak"), kept ? "older" : text.toLatin1());
    }
    QTemporaryDir empty;
    EXPECT_EQ(readStartupProfile(setupFilePath(empty.path())), ProfileNotChosen);
    EXPECT_TRUE(QDir(empty.path()).isEmpty());
}

TEST(SetupFile, AFailedSaveReportsThePathAndLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    // A folder that is a regular file; and a name too long for a temporary file beside it,
    // which fails even for a user whom permissions do not stop.
    const QString plain = dir.filePath("plain");
    const QString longName = dir.filePath(QString(250, 'n'));
    ASSERT_TRUE(writeFile(plain, "old") && writeFile(longName, "old"));
    for (const QString &path : {plain + "/SETUP.INI", longName}) {
        QString error;
        EXPECT_FALSE(saveSetupFile(path, SetupSettings::defaults(HighColour), &error));
        const QString nativePath = QDir::toNativeSeparators(path);
        ASSERT_TRUE(error.contains(nativePath)) << error.toStdString();
        // The system's reason follows the path.
        EXPECT_FALSE(error.section(nativePath, 1).remove(':').trimmed().isEmpty());
    }
#ifdef Q_OS_UNIX
    // A disk that fills up: the reason is the system's, not "Unknown error".
    {
        const FileSizeLimit limit(100);
        QString error;
        EXPECT_FALSE(saveSetupFile(longName.left(longName.size() - 100), SetupSettings(), &error));
        EXPECT_TRUE(error.endsWith(": File too large")) << qPrintable(error);
    }
#endif
    EXPECT_EQ(fileBytes(plain), "old");
    EXPECT_EQ(fileBytes(longName), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

} // namespace
