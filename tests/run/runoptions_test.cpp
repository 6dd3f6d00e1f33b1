#include "runoptions.h"
#include "setupfile.h"

#include <QCommandLineParser>
#include <QFile>
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
        arguments.prepend("brisvel-run");
        arguments << "--data-folder" << dir.path();
        EXPECT_TRUE(parser.parse(arguments)) << qPrintable(parser.errorText());
        error.clear();
        return readRunOptions(parser, &error);
    }

    QTemporaryDir dir;
    QString error;
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

} // namespace
