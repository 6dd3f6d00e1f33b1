// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/conformanceoptions.h"
#include "run/runoptions.h"
#include "settings/file/setupfile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RunOptionsTest : public testing::Test
{
protected:
    std::optional<RunOptions> read(QStringList arguments)
    {
        QCommandLineParser parser;
        addRunOptions(parser);
        addConformanceOptions(parser);
        arguments.prepend("brisvel-run");
        arguments << "--data-folder" << dir.path();
        EXPECT_TRUE(parser.parse(arguments)) << qPrintable(parser.errorText());
        error.clear();
        std::optional<RunOptions> options = readRunOptions(parser, &error);
        if (options && !readConformanceOptions(parser, *options, &conformance, &error))
            return std::nullopt;
        return options;
    }

    QTemporaryDir dir;
    QString error;
    ConformanceOptions conformance;
};

TEST_F(RunOptionsTest, SetupIniFillsWhatTheCommandLineLeavesOpenAndTheWindowsDefaultsTheRest)
{
    std::optional<RunOptions> options = read({"--com", "3"});
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_EQ(options->comPort, 3);
    EXPECT_EQ(options->interval, "100");
    EXPECT_EQ(options->polls, 0);
    EXPECT_EQ(options->milliseconds, 0);
    EXPECT_EQ(options->mode, NormalPoll);
    EXPECT_TRUE(options->escrow);
    EXPECT_EQ(options->channelValues,
              (std::array<QString, 7>{"1", "2", "5", "10", "20", "50", "100"}));
    EXPECT_EQ(options->channelStates, (std::array<int, 7>{1, 1, 1, 1, 1, 1, 1}));
    EXPECT_FALSE(options->json);

    SetupSettings settings = SetupSettings::defaults(HighColour);
    settings.pollRate = "250";
    settings.channelValues[0] = "1000";
    settings.channelStates = {0, 1, 0, 1, 0, 1, 0};
    QString saveError;
    ASSERT_TRUE(saveSetupFile(setupFilePath(dir.path()), settings, &saveError));
    options = read({"--com", "1"});
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_EQ(options->interval, "250");
    EXPECT_EQ(options->channelValues[0], "1000");
    EXPECT_EQ(options->channelStates, settings.channelStates);

    options = read({"--com", "1", "--interval", "40", "--channels", "1100001", "--no-escrow",
                    "--mode", "negative-ack", "--seconds", "1.5", "--json"});
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_EQ(options->interval, "40");
    EXPECT_EQ(options->channelStates, (std::array<int, 7>{1, 1, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(options->escrow);
    EXPECT_EQ(options->mode, NegativeAck);
    EXPECT_EQ(options->milliseconds, 1500);
    EXPECT_TRUE(options->json);

    // A poll interval the run cannot use is named with its file and key, unless overridden.
    settings.pollRate = "12";
    ASSERT_TRUE(saveSetupFile(setupFilePath(dir.path()), settings, &saveError));
    EXPECT_FALSE(read({"--com", "1"}));
    EXPECT_TRUE(error.startsWith(setupFilePath(dir.path()) + ": Poll.Rate \"12\" "))
            << qPrintable(error);
    EXPECT_TRUE(read({"--com", "1", "--interval", "30"})) << qPrintable(error);
}

TEST_F(RunOptionsTest, RefusedOptionsSayWhatIsWrong)
{
    const std::pair<QStringList, const char *> cases[] = {
            {{}, "--com N"},
            {{"--com", "0"}, "--com N"},
            {{"--com", "x"}, "--com N"},
            {{"--com", "1", "--interval", "fast"}, "--interval"},
            {{"--com", "1", "--interval", "29.9"}, "--interval"},
            {{"--com", "1", "--interval", "65536"}, "--interval"},
            {{"--com", "1", "--com", "2"}, "--com is given more than once"},
            {{"--com", "1", "--json", "--json"}, "--json is given more"},
            {{"--com", "1", "fast"}, "\"fast\" is not an option"},
            {{"--com", "1", "--polls", "0"}, "--polls"},
            {{"--com", "1", "--seconds", "-2"}, "--seconds"},
            {{"--com", "1", "--polls", "3", "--seconds", "2"}, "not both"},
            {{"--com", "1", "--mode", "step"}, "--mode"},
            {{"--com", "1", "--channels", "111"}, "--channels"},
            {{"--com", "1", "--channels", "1111112"}, "--channels"}};
    for (const auto &[arguments, expected] : cases) {
        EXPECT_FALSE(read(arguments)) << qPrintable(arguments.join(' '));
        EXPECT_TRUE(error.contains(expected)) << qPrintable(error);
    }
}

// The same command line means the same run on every machine: numbers are digits, with a decimal
// point only where a fraction is meant, and never a group separator.
TEST_F(RunOptionsTest, NumbersMeanTheSameInEveryLocale)
{
    const std::pair<QStringList, const char *> cases[] = {
            {{"--com", "32767", "--interval", "150.5"}, "com 32767, 150 ms"},
            {{"--com", " +3 ", "--interval", "1e2"}, "com 3, 100 ms"},
            {{"--com", "1.0"}, "--com N"},
            {{"--com", "32768"}, "--com N"},
            {{"--com", "1", "--interval", "1.500"}, "--interval needs"},
            {{"--com", "1", "--interval", "1,500"}, "--interval needs"},
            {{"--com", "1", "--polls", "1000"}, "com 1, 100 ms, 1000 polls"},
            {{"--com", "1", "--polls", "1.000"}, "--polls needs"},
            {{"--com", "1", "--polls", "1,000"}, "--polls needs"},
            {{"--com", "1", "--polls", "2147483648"}, "--polls needs"},
            {{"--com", "1", "--seconds", "2.5"}, "com 1, 100 ms, 2500 ms long"},
            {{"--com", "1", "--seconds", "2,5"}, "--seconds needs"},
            {{"--com", "1", "--seconds", "nan"}, "--seconds needs"},
            {{"--com", "1", "--conformance", "--notes", "10", "--reply-within", "40"},
             "com 1, 100 ms, 10 notes within 40 ms"},
            {{"--com", "1", "--conformance", "--notes", "1.000"}, "--notes needs"},
            {{"--com", "1", "--conformance", "--reply-within", "35,5"}, "--reply-within needs"}};
    for (const char *locale : {"C", "de_DE", "en_US"}) {
        QLocale::setDefault(QLocale(QLatin1String(locale)));
        for (const auto &[arguments, expected] : cases) {
            const std::optional<RunOptions> options = read(arguments);
            QString result = error;
            if (options) {
                result = QStringLiteral("com %1, %2 ms").arg(options->comPort).arg(options->interval);
                if (options->polls)
                    result += QStringLiteral(", %1 polls").arg(options->polls);
                if (options->milliseconds)
                    result += QStringLiteral(", %1 ms long").arg(options->milliseconds);
                if (conformance.on)
                    result += QStringLiteral(", %1 notes within %2 ms")
                                      .arg(conformance.notes)
                                      .arg(conformance.replyWithinMs);
            }
            EXPECT_TRUE(options ? result == expected : result.contains(expected))
                    << locale << " " << qPrintable(result);
        }
    }
    QLocale::setDefault(QLocale::system());
}

} // namespace
