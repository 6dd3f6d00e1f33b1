#include "colorsheme.h"
#include "displayprofile.h"
#include "formchecks.h"
#include "setupfile.h"
#include "startup.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

using namespace FormChecks;

namespace {

using Openings = std::vector<DisplayProfile>;

class StartupTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        setDisplayProfile(ProfileNotChosen);
    }
    void TearDown() override { closeAllWindows(); }

    QString settingsPath() const { return setupFilePath(folder.path()); }

    // Starts up and, when the chooser comes, checks that nothing opened meanwhile.
    void start(Startup &startup)
    {
        startup.start();
        if (opened.empty()) {
            ASSERT_TRUE(waitUntil([] { return chooser() != nullptr; }));
            EXPECT_EQ(displayProfile(), ProfileNotChosen);
        }
    }

    static ColorSheme *chooser()
    {
        const QList<ColorSheme *> choosers = openWindows<ColorSheme>();
        return choosers.size() == 1 ? choosers.front() : nullptr;
    }

    QTemporaryDir folder;
    Openings opened;
    Startup::OpenTester recorder = [this](DisplayProfile p) {
        opened.push_back(p);
    };
};

struct StartupCase
{
    const char *name;
    const char *settings; // nullptr: no file
    DisplayProfile saved; // ProfileNotChosen: the chooser is shown
    bool fileKept;
    const char *button; // the chooser's button clicked
};

void PrintTo(const StartupCase &c, std::ostream *out)
{
    *out << c.name;
}

const StartupCase startupCases[] = {
        {"NoFile", nullptr, ProfileNotChosen, false, "Command1_1"},
        {"NoFileHighColour", nullptr, ProfileNotChosen, false, "Command1_0"},
        {"FirstLine1", "Sys.Color   = 1\r\nCom.Setting = 1\r\n", HighColour, true, ""},
        {"FirstLine2", "Sys.Color   = 2\r\nCom.Setting = 1\r\n", Colour256, true, ""},
        {"FirstLine0", "Sys.Color   = 0\r\nCom.Setting = 1\r\n", ProfileNotChosen, true,
         "Command1_1"},
        {"FirstLine7", "Sys.Color   = 7\r\nCom.Setting = 1\r\n", ProfileNotChosen, true,
         "Command1_1"},
        {"WithoutSysColor", "Colour      = 1\r\n", ProfileNotChosen, false, "Command1_1"},
        {"SysColorOnALaterLine", "Com.Setting = 2\r\nSys.Color   = 1\r\n", HighColour, true, ""},
};

class StartupCaseTest : public StartupTest, public testing::WithParamInterface<StartupCase>
{ };

TEST_P(StartupCaseTest, OpensTheSavedProfileOrAsks)
{
    const StartupCase &c = GetParam();
    if (c.settings) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.settings) > 0);
    }
    Startup startup(folder.path(), recorder);

    start(startup);

    EXPECT_EQ(QFile::exists(settingsPath()), c.fileKept);
    if (c.saved != ProfileNotChosen) {
        EXPECT_EQ(opened, Openings({c.saved}));
        EXPECT_EQ(displayProfile(), c.saved);
        EXPECT_EQ(chooser(), nullptr);
        return;
    }
    EXPECT_TRUE(opened.empty());
    QTest::mouseClick(chooser()->findChild<QPushButton *>(c.button), Qt::LeftButton);
    const DisplayProfile chosen = QString(c.button).endsWith('0') ? HighColour : Colour256;
    EXPECT_EQ(opened, Openings({chosen}));
    EXPECT_EQ(displayProfile(), chosen);
    EXPECT_TRUE(waitUntil([] { return chooser() == nullptr; }));
}

INSTANTIATE_TEST_SUITE_P(Files, StartupCaseTest, testing::ValuesIn(startupCases),
                         [](const auto &info) { return std::string(info.param.name); });

// So that the program never finds itself without a window between the two.
TEST_F(StartupTest, TheTesterWindowOpensBeforeTheChooserCloses)
{
    bool chooserStillOpen = false;
    Startup startup(folder.path(), [&](DisplayProfile) { chooserStillOpen = chooser(); });
    start(startup);

    QTest::mouseClick(chooser()->findChild<QPushButton *>("Command1_1"), Qt::LeftButton);

    EXPECT_TRUE(chooserStillOpen);
}

TEST_F(StartupTest, ADismissedChooserAbandonsTheStart)
{
    Startup startup(folder.path(), recorder);
    QSignalSpy abandoned(&startup, &Startup::abandoned);
    start(startup);

    chooser()->windowHandle()->close();

    EXPECT_EQ(abandoned.count(), 1);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(displayProfile(), ProfileNotChosen);
    EXPECT_TRUE(waitUntil([] { return chooser() == nullptr; }));
}

} // namespace

namespace {

struct CommandLineCase
{
    QStringList arguments;
    const char *platform; // "xcb" without DISPLAY: a window would abort the program
    int status;
    const char *output;
    bool onStandardError;
};

TEST(ProgramCommandLine, HelpAndVersionNeedNoDisplayAndAnythingElseIsRefused)
{
    const CommandLineCase cases[] = {
            {{"--version"}, "xcb", 0, "brisvel 2.1.0\n", false},
            {{"-v"}, "xcb", 0, "brisvel 2.1.0\n", false},
            {{"--help"}, "xcb", 0, "Usage: ", false},
            {{"--bogus"}, "offscreen", 2, "Unknown option 'bogus'.\n\nUsage: ", true},
            {{"stray"}, "offscreen", 2, "Unexpected argument 'stray'.\n\nUsage: ", true}};
    for (const CommandLineCase &c : cases) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", c.platform);
        program.setProcessEnvironment(environment);
        program.start(BRISVEL_PATH, c.arguments);
        ASSERT_TRUE(program.waitForFinished(30000)) << qPrintable(c.arguments.join(' '));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status) << qPrintable(c.arguments.join(' '));
        const QString output = c.onStandardError ? program.readAllStandardError()
                                                 : program.readAllStandardOutput();
        EXPECT_TRUE(output.contains(c.output)) << qPrintable(output);
        EXPECT_TRUE((c.onStandardError ? program.readAllStandardOutput()
                                       : program.readAllStandardError())
                            .isEmpty());
    }
}

} // namespace
