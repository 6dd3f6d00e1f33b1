// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file/setupfile.h"
#include "settings/ui/aboutwindow.h"
#include "settings/ui/channelvalues.h"
#include "settings/ui/colorsheme.h"
#include "settings/ui/configdialog.h"
#include "settings/ui/startup.h"
#include "tests/support/openwindows.h"
#include "tests/support/printers.h"
#include "tests/support/programrunner.h"
#include "window/model/notetally.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

#include <csignal>
#include <cstring>

namespace {

// A tester window reduced to its seven channel captions and a count of ValueChg calls.
class FakeChannels : public QObject, public ChannelValues
{
public:
    QStringList captions{"1", "2", "5", "10", "20", "50", "100"};
    int valueChgCalls = 0;

    QString channelCaption(int index) const override { return captions.at(index); }
    void setChannelCaption(int index, const QString &text) override { captions[index] = text; }
    void ValueChg() override { ++valueChgCalls; }
};

template<typename Window>
bool gone(const QPointer<Window> &window)
{
    return QTest::qWaitFor([&] { return window.isNull(); }, 10000);
}

void click(QWidget *window, const char *button)
{
    QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
}

QLineEdit *box(const QWidget *dialog, int i)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i));
}

// The seven boxes' texts, "|" between them.
QString boxTexts(const QWidget *dialog)
{
    QStringList texts;
    for (int i = 0; i < 7; ++i)
        texts << box(dialog, i)->text();
    return texts.join('|');
}

class SideWindowTest : public testing::Test
{
protected:
    void TearDown() override
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            widget->close();
            widget->deleteLater();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    template<typename Window>
    Window *open()
    {
        auto *window = new Window(&channels, &channels);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    FakeChannels channels;
};

// The close box opens nothing; Configurations opens the one dialog, or brings it to the front.
TEST_F(SideWindowTest, AboutClosesAndOpensOneConfigurationsDialog)
{
    channels.captions[6] = "200";
    for (const char *button : {"", "Command1", "Command1"}) {
        QPointer<AboutWindow> about = open<AboutWindow>();
        QSignalSpy closed(about.data(), &AboutWindow::closed);
        if (*button)
            click(about, button);
        else
            about->windowHandle()->close();
        EXPECT_TRUE(gone(about));
        EXPECT_EQ(closed.count(), 1);
        EXPECT_EQ(openWindows<ConfigDialog>().size(), *button ? 1 : 0);
    }
    const ConfigDialog *dialog = openWindows<ConfigDialog>().value(0);
    ASSERT_TRUE(dialog && !dialog->parentWidget());
    EXPECT_EQ(boxTexts(dialog), "1|2|5|10|20|50|200");
}

// Both go with the tester window; the About window says nothing, the dialog writes nothing.
TEST(SideWindowLifetime, TheyGoAwayWithTheTesterWindow)
{
    auto channels = std::make_unique<FakeChannels>();
    QPointer<AboutWindow> about = new AboutWindow(channels.get(), channels.get());
    QPointer<QWidget> dialog = new ConfigDialog(channels.get(), channels.get());
    about->show();
    dialog->show();
    QSignalSpy closed(about.data(), &AboutWindow::closed);
    channels.reset();
    click(dialog, "Command1");
    EXPECT_TRUE(gone(about));
    EXPECT_TRUE(gone(dialog));
    EXPECT_EQ(closed.count(), 0);
}

struct DoneCase
{
    const char *name;
    const char *typed; // the seven boxes, "|" between them
    const char *after;
    int refusedBox; // the box that gets the focus and the selection, or -1 when applied
};

void PrintTo(const DoneCase &c, std::ostream *out)
{
    *out << c.name;
}

const DoneCase doneCases[] = {
        {"AllEmptyBecome0", "||||||", "0|0|0|0|0|0|0", -1},
        {"LettersBeforeAnEmptyBox", "7|8|abc|9||30|40", "7|8|abc|9||30|40", 2},
        {"EmptiesBeforeTheRefusedBox", "|1||x1|||", "0|1|0|x1|||", 3},
        {"LastBox", "1|2|5|10|20|50|1,,0", "1|2|5|10|20|50|1,,0", 6},
        {"TooLarge", "1||||||2147483648", "1|0|0|0|0|0|2147483648", 6},
        {"TooSmall", "1|-2147483649|||||", "1|-2147483649|||||", 1},
        {"TextsGoOverAsTyped", " 20|1.5|-3|1e3|+4|  7  |2147483647",
         " 20|1.5|-3|1e3|+4|  7  |2147483647", -1},
};

class ConfigDoneTest : public SideWindowTest, public testing::WithParamInterface<DoneCase>
{ };

TEST_P(ConfigDoneTest, DoneChecksTheBoxesInChannelOrder)
{
    const DoneCase &c = GetParam();
    const QStringList before = channels.captions;
    QPointer<QWidget> dialog = open<ConfigDialog>();
    for (int i = 0; i < 7; ++i)
        box(dialog, i)->setText(QString(c.typed).section('|', i, i));
    click(dialog, "Command1");
    if (c.refusedBox < 0) {
        EXPECT_EQ(channels.captions.join('|'), c.after);
        EXPECT_EQ(channels.valueChgCalls, 1);
        EXPECT_TRUE(gone(dialog));
        return;
    }
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(boxTexts(dialog), c.after);
    QLineEdit *refused = box(dialog, c.refusedBox);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == refused; }, 10000));
    EXPECT_EQ(refused->selectedText(), refused->text());
    EXPECT_EQ(channels.captions, before);
    refused->setText("5");
    click(dialog, "Command1");
    EXPECT_EQ(channels.valueChgCalls, 1);
    EXPECT_EQ(channels.captions[c.refusedBox], "5");
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigDoneTest, testing::ValuesIn(doneCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct LocaleCase
{
    const char *locale, *typed;
    const char *added; // per note of the channel, or nullptr when DONE refuses the text
};

// A value is taken only when it adds, now, what it adds once saved and read again under any
// locale; the others are refused as a text that is not a number is.
TEST_F(SideWindowTest, ValuesAddTheSameBeforeAndAfterARestartInAnyLocale)
{
    const LocaleCase cases[] = {
            {"C", "1000", "1000"},     {"C", "2.5", "2"},        {"C", "1,000", nullptr},
            {"en_US", "1000", "1000"}, {"en_US", "1.5", "2"},    {"en_US", "1,000", nullptr},
            {"de_DE", "1000", "1000"}, {"de_DE", " 3.5", "4"},   {"de_DE", "1.000", nullptr},
            {"de_DE", "2,5", nullptr}, {"de_DE", "1e3", "1000"},
    };
    const auto amountPerNote = [](const QString &caption) {
        NoteTally tally;
        tally.ValueChg({caption});
        tally.CountNote(1);
        return tally.amount(0);
    };
    for (const LocaleCase &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.typed);
        QLocale::setDefault(QLocale(QLatin1String(c.locale)));
        channels.captions[0] = "1";
        QPointer<QWidget> dialog = open<ConfigDialog>();
        box(dialog, 0)->setText(c.typed);
        click(dialog, "Command1");
        if (!c.added) {
            EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return QApplication::focusWidget() == box(dialog, 0); }, 10000));
            EXPECT_EQ(box(dialog, 0)->selectedText(), c.typed);
            EXPECT_EQ(channels.captions[0], "1");
            dialog->close();
            continue;
        }
        EXPECT_TRUE(gone(dialog));
        EXPECT_EQ(channels.captions[0], c.typed);
        EXPECT_EQ(amountPerNote(channels.captions[0]), c.added);
        SetupSettings settings;
        settings.channelValues[0] = channels.captions[0];
        for (const char *reader : {"C", "de_DE", "en_US"}) {
            QLocale::setDefault(QLocale(QLatin1String(reader)));
            const QString read = parseSetupText(QString::fromLatin1(formatSetup(settings)),
                                                HighColour)
                                         .channelValues[0];
            EXPECT_EQ(amountPerNote(read), c.added) << reader;
        }
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(SideWindowTest, CancelAndTheCloseBoxWriteNothing)
{
    const QStringList before = channels.captions;
    for (bool cancel : {true, false}) {
        QPointer<QWidget> dialog = open<ConfigDialog>();
        box(dialog, 0)->setText("9");
        if (cancel)
            click(dialog, "Command2");
        else
            dialog->windowHandle()->close();
        EXPECT_TRUE(gone(dialog));
    }
    EXPECT_EQ(channels.captions, before);
    EXPECT_EQ(channels.valueChgCalls, 0);
}

ColorSheme *chooser()
{
    const QList<ColorSheme *> choosers = openWindows<ColorSheme>();
    return choosers.size() == 1 ? choosers.front() : nullptr;
}

struct StartupCase
{
    const char *name;
    const char *settings; // nullptr: no file
    const char *button; // the chooser's button clicked, "" its close box; nullptr: no chooser
    DisplayProfile opened; // ProfileNotChosen: none, and the start is abandoned
};

void PrintTo(const StartupCase &c, std::ostream *out)
{
    *out << c.name;
}

const StartupCase startupCases[] = {
        {"NoFile", nullptr, "Command1_1", Colour256},
        {"NotChosen", "Sys.Color   = 0\r\n", "Command1_0", HighColour},
        {"Dismissed", nullptr, "", ProfileNotChosen},
        {"Saved1", "Sys.Color   = 1\r\n", nullptr, HighColour},
        {"Saved2", "Sys.Color   = 2\r\n", nullptr, Colour256},
};

class StartupTest : public SideWindowTest, public testing::WithParamInterface<StartupCase>
{ };

TEST_P(StartupTest, OpensTheSavedProfileOrAsks)
{
    const StartupCase &c = GetParam();
    QTemporaryDir folder;
    if (QFile file(setupFilePath(folder.path())); c.settings) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.settings) > 0);
    }
    std::vector<DisplayProfile> opened;
    bool chooserOpenAtOpening = false;
    Startup startup(folder.path(), [&](DisplayProfile p) {
        opened.push_back(p);
        chooserOpenAtOpening = chooser();
    });
    QSignalSpy abandoned(&startup, &Startup::abandoned);
    startup.start();
    if (c.button) {
        ASSERT_TRUE(QTest::qWaitFor([] { return chooser() != nullptr; }, 10000));
        if (*c.button)
            click(chooser(), c.button);
        else
            chooser()->windowHandle()->close();
        // So that the program never finds itself without a window between the two.
        EXPECT_EQ(chooserOpenAtOpening, c.opened != ProfileNotChosen);
        EXPECT_TRUE(QTest::qWaitFor([] { return chooser() == nullptr; }, 10000));
    }
    const bool chosen = c.opened != ProfileNotChosen;
    EXPECT_EQ(opened, chosen ? std::vector{c.opened} : std::vector<DisplayProfile>{});
    EXPECT_EQ(abandoned.count(), chosen ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Files, StartupTest, testing::ValuesIn(startupCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Help and version need no display; a wrong command line is refused, with or without one, and
// without a display the program says so rather than aborting. "xcb" and no platform at all need
// DISPLAY.
TEST(ProgramCommandLine, HelpAndVersionNeedNoDisplayAndAnythingElseIsRefused)
{
    const QString noDisplay = "brisvel: cannot open a display: set DISPLAY, or run brisvel-run "
                              "for a run without a window\n";
    const struct
    {
        QStringList arguments;
        const char *platform; // QT_QPA_PLATFORM; none when empty
        int status;
        QString output; // a part of standard output, or all of standard error
        bool onStandardError;
    } cases[] = {
            {{"--version"}, "xcb", 0, "brisvel 2.1.0\n", false},
            {{"-v"}, "", 0, "brisvel 2.1.0\n", false},
            {{"--help"}, "xcb", 0, "Exit status: 0 the window was closed, 1 no display", false},
            {{"--bogus"},
             "offscreen",
             3,
             "brisvel: Unknown option 'bogus'.\nTry 'brisvel --help' for more information.\n",
             true},
            {{"stray"},
             "",
             3,
             "brisvel: Unexpected argument 'stray'.\nTry 'brisvel --help' for more information.\n",
             true},
            {{}, "", 1, noDisplay, true},
            {{}, "xcb", 1, noDisplay, true},
            {{"-style", "fusion"}, "wayland;xcb", 1, noDisplay, true},
            {{"-platform", "xcb"}, "offscreen", 1, noDisplay, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(' ') + " on " + c.platform));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        if (*c.platform)
            environment.insert("QT_QPA_PLATFORM", c.platform);
        ProgramRunner program(BRISVEL_PATH, c.arguments, environment);
        EXPECT_EQ(program.finish(), c.status);
        if (c.onStandardError)
            EXPECT_EQ(program.err, c.output);
        else
            EXPECT_TRUE(program.out.contains(c.output)) << qPrintable(program.out + program.err);
    }
}

#ifdef Q_OS_LINUX
// Whether the process handles SIGHUP, SIGINT and SIGTERM itself yet, as /proc tells.
bool catchesTheEndingSignals(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const int at = text.indexOf("SigCgt:\t");
    const quint64 caught = text.mid(at + 8, 16).toULongLong(nullptr, 16);
    const quint64 wanted = 1u << (SIGHUP - 1) | 1u << (SIGINT - 1) | 1u << (SIGTERM - 1);
    return at >= 0 && (caught & wanted) == wanted;
}

// A logout, kill or Ctrl+C closes the window as its close button does: SETUP.INI, edited by
// hand, is saved whole, and the program ends normally.
TEST(ProgramSignals, CloseTheWindowAsItsCloseButtonDoes)
{
    // A copy outside the build tree keeps its data in XDG_CONFIG_HOME's brisvel folder.
    QTemporaryDir dir;
    const QString program = dir.filePath("bin/brisvel");
    ASSERT_TRUE(QDir(dir.path()).mkdir("bin") && QFile::copy(BRISVEL_PATH, program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", dir.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    ASSERT_TRUE(QDir(dir.path()).mkdir("brisvel"));
    const QString setup = dir.filePath("brisvel/SETUP.INI");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        QFile::remove(setup);
        QFile edited(setup);
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly)
                    && edited.write("# by hand\nSys.Color = 1\nCom.Setting = 4\n") > 0);
        edited.close();
        ProgramRunner brisvel(program, {}, environment);
        ASSERT_TRUE(QTest::qWaitFor(
                [&] { return catchesTheEndingSignals(brisvel.process.processId()); },
                ProgramRunner::patience));
        ::kill(pid_t(brisvel.process.processId()), signal);
        EXPECT_EQ(brisvel.finish(), 0) << qPrintable(brisvel.err);
        QFile saved(setup);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(),
                  "Sys.Color   = 1\r\nCom.Setting = 4\r\nPoll.Rate   = 100\r\n1st.Value   = "
                  "1\r\n2nd.Value   = 2\r\n3rd.Value   = 5\r\n4th.Value   = 10\r\n5th.Value   = "
                  "20\r\n6th.Value   = 50\r\n7th.Value   = 100\r\n1st.Check   = 1\r\n2nd.Check   "
                  "= 1\r\n3rd.Check   = 1\r\n4th.Check   = 1\r\n5th.Check   = 1\r\n6th.Check   = "
                  "1\r\n7th.Check   = 1\r\n");
    }
}
#endif

} // namespace
