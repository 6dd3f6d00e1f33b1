// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/comport.h"
#include "settings/file/setupfile.h"
#include "settings/ui/aboutwindow.h"
#include "settings/ui/colorsheme.h"
#include "settings/ui/configdialog.h"
#include "settings/ui/startup.h"
#include "tests/support/frames.h"
#include "tests/support/memoryline.h"
#include "tests/support/openwindows.h"
#include "tests/support/printers.h"
#include "widgets/fonts.h"
#include "widgets/trafficlogview.h"
#include "window/statisticswindow.h"
#include "window/testerwindow.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include "tests/support/programrunner.h"

#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif
#endif

#include <gtest/gtest.h>

namespace {

// SETUP.INI holding these values, blank-separated in the file's order: layout, port, poll
// rate, the seven note values and the seven channel states.
QByteArray setupFile(const QByteArray &values)
{
    QList<QByteArray> keys{"Sys.Color  ", "Com.Setting", "Poll.Rate  "};
    for (const char *kind : {"Value  ", "Check  "}) {
        for (const char *nth : {"1st.", "2nd.", "3rd.", "4th.", "5th.", "6th.", "7th."})
            keys << nth + QByteArray(kind);
    }
    QByteArray file;
    const QList<QByteArray> words = values.split(' ');
    for (int i = 0; i < words.size(); ++i)
        file += keys[i] + " = " + words[i] + "\r\n";
    return file;
}

class TesterWindowTest : public testing::TestWithParam<DisplayProfile>
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        TesterWindow::setMessageShower([this](QWidget *, const QString &title, const QString &text,
                                              const QString &) { messages << title + ": " + text; });
        // The operator picks the file at once: the next path of the queue.
        TesterWindow::setFileChooser([this](QWidget *, const QString &title,
                                            const QString &suggested,
                                            const std::function<void(const QString &)> &chosen) {
            choosers << title + ": " + suggested;
            if (!paths.isEmpty())
                chosen(paths.takeFirst());
        });
    }

    void TearDown() override
    {
        window.reset();
        // Side windows go with the window they belong to, at once: none outlives its test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TesterWindow::setMessageShower({});
        TesterWindow::setFileChooser({});
    }

    void open() { open(GetParam()); }
    void open(DisplayProfile profile)
    {
        window = std::make_unique<TesterWindow>(profile, dir.path(), &line);
        window->show();
    }

    template<typename Control>
    Control *find(const char *name) const
    {
        return window->findChild<Control *>(name);
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QStringList fileLines(const QString &path)
    {
        return QString::fromUtf8(read(path)).split('\n', Qt::SkipEmptyParts);
    }
    QByteArray savedFile() const { return read(setupFilePath(dir.path())); }

    // Opens the configuration dialog the way the operator does: through the About window.
    ConfigDialog *openConfigDialog()
    {
        find<QPushButton>("Check2")->click();
        openWindows<AboutWindow>().first()->findChild<QPushButton *>("Command1")->click();
        EXPECT_TRUE(QTest::qWaitFor([] { return openWindows<ConfigDialog>().size() == 1; }));
        return openWindows<ConfigDialog>().value(0);
    }

    QAction *action(const char *name) const { return find<QAction>(name); }

    // A run start and one frame more, each answered; the poll timer never ticks.
    void converse()
    {
        find<QLineEdit>("Text2")->setText("65535");
        find<QPushButton>("Check4")->click();
        line.push(Frames::reply({0x01}));
        window->model().SendCommand();
        line.push(Frames::reply({0x01}, 0x21));
    }

    QTemporaryDir dir;
    MemoryLine line;
    std::unique_ptr<TesterWindow> window;
    QStringList messages;
    QStringList choosers; // title: suggested path
    QStringList paths;
};

TEST_P(TesterWindowTest, WithoutAFileOpensIdleAndClosingWritesTheDefaults)
{
    open();
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "1");
    EXPECT_EQ(find<QLineEdit>("Text2")->text(), "100");
    window->close();
    EXPECT_EQ(savedFile(),
              setupFile(GetParam() == Colour256 ? "2 1 100 1 2 5 10 20 50 100 1 1 1 1 1 1 1"
                                                : "1 1 100 1 2 5 10 20 50 100 1 1 1 1 1 1 1"));
    EXPECT_EQ(line.openAttempts, 0) << "a port never used is never opened";
}

TEST_P(TesterWindowTest, ReadsTheFileAndSavesWhatChanged)
{
    QFile file(setupFilePath(dir.path()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)
                && file.write(setupFile("1 2 250 1 2 5 10 20 50 500 1 0 2 1 1 1 0")) > 0);
    file.close();
    open(HighColour); // as start-up opens the file's profile
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "2");
    EXPECT_EQ(find<QLineEdit>("Text2")->text(), "250");
    EXPECT_EQ(find<QLabel>("Label8_6")->text(), "500");
    EXPECT_EQ(find<QCheckBox>("Check1_1")->checkState(), Qt::Unchecked);
    EXPECT_EQ(find<QCheckBox>("Check1_2")->checkState(), Qt::PartiallyChecked);

    // A port typed but never used for a run is not saved; escrow is not saved at all.
    find<QLineEdit>("Text1")->setText("3");
    find<QPushButton>("Check6")->setChecked(false);
    find<QCheckBox>("Check1_1")->setChecked(true);
    // A greyed box leaves the greyed state at the first click and never comes back to it.
    auto *greyed = find<QCheckBox>("Check1_2");
    QList<Qt::CheckState> clicked;
    for (int i = 0; i < 3; ++i) {
        greyed->click();
        clicked << greyed->checkState();
    }
    EXPECT_EQ(clicked, QList<Qt::CheckState>({Qt::Checked, Qt::Unchecked, Qt::Checked}));
    window->close();
    EXPECT_EQ(savedFile(), setupFile("1 2 250 1 2 5 10 20 50 500 1 1 1 1 1 1 0"));

    open();
    EXPECT_TRUE(find<QPushButton>("Check6")->isChecked());
    find<QLineEdit>("Text1")->setText("3");
    find<QPushButton>("Check4")->click();
    EXPECT_EQ(line.openedPorts, QList<int>{3});
    window->close();
    EXPECT_TRUE(savedFile().contains("Com.Setting = 3\r\n")) << "the port in use is saved";
    EXPECT_FALSE(line.isOpen()) << "closing the window closes the port";
}

TEST_P(TesterWindowTest, TheControlsDriveTheModelAndShowIt)
{
    open();
    auto *mode = find<QPushButton>("Command1");
    QStringList captions;
    for (int i = 0; i < 4; ++i) {
        mode->click();
        captions << mode->text();
    }
    EXPECT_EQ(captions, QStringList({"Step Into", "Interrupt Mode", "Negative ACK", "Normal Poll"}));

    // What the displays show after a conversation, the picture test sees; not their reset.
    auto *runSwitch = find<QPushButton>("Check4");
    find<QLineEdit>("Text2")->setText("65535"); // no tick of the run's own
    runSwitch->click();
    EXPECT_EQ(line.clearRequests, GetParam() == HighColour ? 1 : 0)
            << "only the high-colour layout empties the input at a run start";
    line.push(Frames::reply({0x10, 0x00, 0x18}));
    find<QPushButton>("Command2")->click();
    EXPECT_EQ(find<QLabel>("Label9_2")->text(), "0");

    // The program's own change of the switch suspends exactly as a click does.
    runSwitch->setChecked(false);
    EXPECT_EQ(find<QLabel>("Label14")->text(), " SYSTEM SUSPENDED");
    EXPECT_FALSE(window->model().pollTimerActive());
}

TEST_P(TesterWindowTest, RefusedEntriesAreSelectedAndTheSwitchGoesBackOff)
{
    open();
    auto *interval = find<QLineEdit>("Text2");
    interval->setText("often");
    find<QPushButton>("Check4")->click();
    EXPECT_FALSE(find<QPushButton>("Check4")->isChecked());
    EXPECT_EQ(interval->selectedText(), "often");
    interval->setText("100");

    auto *port = find<QLineEdit>("Text1");
    port->setText("7");
    find<QPushButton>("Check4")->click();
    EXPECT_EQ(messages, QStringList{"System Error: Communication Port Error (#:8002).  COM port "
                                    "maybe in use by other application(s) or does not exist."});
    EXPECT_FALSE(find<QPushButton>("Check4")->isChecked());
    EXPECT_EQ(port->selectedText(), "7");

    QFile::remove(setupFilePath(dir.path()));
    ASSERT_TRUE(QDir(dir.path()).mkdir("SETUP.INI")); // a folder where the file should be
    window->close();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith("Settings Not Saved: Cannot save the settings to "));
}

TEST_P(TesterWindowTest, ConfigureToggleIsPressedExactlyWhileTheAboutWindowIsOpen)
{
    open();
    auto *toggle = find<QPushButton>("Check2");
    toggle->click();
    ASSERT_EQ(openWindows<AboutWindow>().size(), 1);
    EXPECT_TRUE(toggle->isChecked());
    // Released by hand, the About window stays; pressed again, the same one comes forward.
    toggle->click();
    toggle->click();
    EXPECT_EQ(openWindows<AboutWindow>().size(), 1);
    openWindows<AboutWindow>().first()->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return openWindows<AboutWindow>().isEmpty(); }));
    EXPECT_FALSE(toggle->isChecked());

    ConfigDialog *dialog = openConfigDialog();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(toggle->isChecked());
    toggle->click(); // the About window again, over the dialog
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return openWindows<ConfigDialog>().isEmpty() && openWindows<AboutWindow>().isEmpty();
    }));
}

TEST_P(TesterWindowTest, NewNoteValuesFromTheDialogTakeEffectAtOnce)
{
    open();
    window->model().setRunSwitch(true);
    ConfigDialog *dialog = openConfigDialog();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit *>("Text1_2")->setText("2.5");
    dialog->findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return openWindows<ConfigDialog>().isEmpty(); }));
    EXPECT_EQ(find<QLabel>("Label8_2")->text(), "2.5");
    line.push(Frames::reply({0x10, 0x00, 0x18}));
    EXPECT_EQ(find<QLabel>("Label10_2")->text(), "2");
    window->close();
    EXPECT_TRUE(savedFile().contains("3rd.Value   = 2.5\r\n"));
}

TEST_P(TesterWindowTest, CtrlSSavesTheWholeRecordAndEveryLogRowOffersTheMenu)
{
    open();
    converse();
    paths << dir.filePath("saved.txt");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(choosers.size(), 1);
    EXPECT_TRUE(choosers[0].startsWith("Save Traffic: ") && choosers[0].endsWith(".txt"));
    EXPECT_EQ(fileLines(dir.filePath("saved.txt")), window->record().lines());
    EXPECT_EQ(window->record().size(), 2);

    auto *menu = window->findChild<QMenu *>("logMenu");
    ASSERT_TRUE(menu);
    QStringList texts;
    for (const QAction *item : menu->actions())
        texts << item->text();
    EXPECT_EQ(texts, QStringList({"Save Traffic...", "Statistics...", "Record to File..."}));
    auto *log = find<TrafficLogView>("TrafficLog");
    for (const QPoint at : {log->cellRect(TrafficLogView::Sent, 0).center(),
                            log->cellRect(TrafficLogView::Reply, 15).center()}) {
        emit log->customContextMenuRequested(at);
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000)) << at.y();
        menu->hide();
    }
}

TEST_P(TesterWindowTest, RecordingRunsUntilStoppedOrTheWindowCloses)
{
    open();
    const QString path = dir.filePath("record.txt");
    paths << path << dir.filePath("no/such/folder/record.txt");
    action("recordAction")->trigger();
    ASSERT_EQ(choosers.size(), 1);
    EXPECT_TRUE(choosers[0].startsWith("Record to File: "));
    EXPECT_EQ(action("recordAction")->text(), "Stop Recording");
    converse();
    EXPECT_EQ(fileLines(path), window->record().lines());
    action("recordAction")->trigger();
    EXPECT_EQ(action("recordAction")->text(), "Record to File...");
    EXPECT_EQ(choosers.size(), 1) << "stopping asks for no file";

    action("recordAction")->trigger();
    EXPECT_EQ(messages.value(0).section(':', 0, 0), "Recording Not Started");
    paths << dir.filePath("no/such/folder/saved.txt");
    action("saveTrafficAction")->trigger();
    EXPECT_EQ(messages.value(1).section(':', 0, 0), "Traffic Not Saved");
    // The dialogs open in the last folder where writing worked, never where it failed.
    action("saveTrafficAction")->trigger();
    ASSERT_EQ(choosers.size(), 4);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(QFileInfo(choosers[i].section(": ", 1)).path(), dir.path()) << i;
#ifdef Q_OS_LINUX
    // A recording that fails later sends the next dialog back to the documents folder.
    paths << "/dev/full";
    action("recordAction")->trigger();
    converse();
    EXPECT_EQ(messages.last().section(':', 0, 0), "Recording Stopped");
    action("saveTrafficAction")->trigger();
    EXPECT_EQ(QFileInfo(choosers.last().section(": ", 1)).path(),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
#endif
    paths.clear();
    paths << path;
    action("recordAction")->trigger();
    window->model().SendCommand(); // still waiting for its reply when the window closes
    window->close();
    EXPECT_FALSE(window->record().recording());
    ASSERT_EQ(fileLines(path).size(), 1);
    EXPECT_TRUE(fileLines(path)[0].endsWith("# no reply yet"));
}

TEST_P(TesterWindowTest, TheFileDialogTellsFileTypesByNameAlone)
{
    open();
    QFile document(dir.filePath("document"));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly) && document.write("%PDF-1.4\n") > 0);
    document.close();
    TesterWindow::setFileChooser({});
    action("saveTrafficAction")->trigger();
    auto *dialog = window->findChild<QFileDialog *>();
    ASSERT_TRUE(dialog && dialog->iconProvider());
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseCustomDirectoryIcons));
    EXPECT_FALSE(dialog->iconProvider()->type(QFileInfo(document)).contains("PDF"));
    dialog->close();
}

TEST_P(TesterWindowTest, StatisticsFollowTheConversationUntilTheWindowCloses)
{
    open();
    action("statisticsAction")->trigger();
    auto *statistics = window->findChild<StatisticsWindow *>();
    ASSERT_TRUE(statistics && statistics->isWindow());
    const auto *figures = statistics->findChild<QTableWidget *>("figuresTable");
    const auto figure = [figures](const QString &name) {
        for (int row = 0; row < figures->rowCount(); ++row) {
            if (figures->item(row, 0)->text() == name)
                return figures->item(row, 1)->text();
        }
        return QString();
    };
    EXPECT_EQ(figure("Latency median"), "-");
    converse();
    EXPECT_TRUE(QTest::qWaitFor([&] { return figure("Replies") == "2"; }, 5000));
    EXPECT_EQ(figure("Frames sent"), "2");
    EXPECT_TRUE(figure("Latency median").endsWith(" ms"));
    // A reject at idle has a row of its own, shown while it holds something.
    const auto *notes = statistics->findChild<QTableWidget *>("notesTable");
    EXPECT_TRUE(notes->isRowHidden(7));
    window->model().SendCommand();
    line.push(Frames::reply({0x01, 0x02}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notes->isRowHidden(7); }, 5000));
    EXPECT_EQ(notes->item(7, 0)->text() + notes->item(7, 5)->text(), "-1");
    EXPECT_EQ(notes->item(8, 0)->text() + notes->item(8, 5)->text(), "TOTAL1");
    find<QPushButton>("Command2")->click(); // resets the tally
    EXPECT_TRUE(QTest::qWaitFor([&] { return figure("Frames sent") == "0"; }, 5000));
    EXPECT_TRUE(notes->isRowHidden(7));
    window->close();
    EXPECT_FALSE(statistics->isVisible());
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, TesterWindowTest, testing::Values(HighColour, Colour256),
                         [](const auto &info) {
                             return info.param == Colour256 ? "MAIN256" : "MAIN64K";
                         });

#ifdef Q_OS_UNIX
// SETUP.INI as the operator left it, met by brisvel-run and by the tester's start, its window and
// its close.
enum class Found { File, Unreadable, Folder, NamedPipe, Device, Link, BackupBlocked };

struct SetupCase
{
    const char *name;
    Found found;
    QByteArray bytes; // the file's, or the linked file's
    bool chooser; // start-up asks for the layout; 256 colour is chosen
    int runnerExit;
    const char *runner; // exit 3: all of standard error; else part of the output. %1: the path
    const char *why; // the window's reason to leave the file alone; empty: it uses the file
    QByteArray saved; // the values saved at close, as setupFile takes them; empty: none saved
};

const SetupCase setupCases[] = {
        {"Unreadable", Found::Unreadable,
         "Sys.Color   = 1\r\nCom.Setting = 4\r\nPoll.Rate   = 250\r\n; the bench by the door\r\n",
         true, 3, "brisvel-run: cannot read the settings %1: Permission denied\n",
         "Permission denied", ""},
        {"Folder", Found::Folder, "", true, 3,
         "brisvel-run: cannot read the settings %1: not a regular file but a folder\n",
         "not a regular file but a folder", ""},
        {"NamedPipe", Found::NamedPipe, "", true, 3,
         "brisvel-run: cannot read the settings %1: not a regular file but a named pipe\n",
         "not a regular file but a named pipe", ""},
        {"ZeroDevice", Found::Device, "", true, 3,
         "brisvel-run: cannot read the settings %1: not a regular file but a device\n",
         "not a regular file but a device", ""},
        {"DamagedWithItsBackupBlocked", Found::BackupBlocked,
         "Com.Setting 4\r\nthe bench by the door\r\n", true, 2, "\"interval\":100",
         "it holds no Sys.Color, so it is no settings file of this program, and it could not be "
         "moved aside to %1.bak",
         ""},
        {"CrLineEnds", Found::File, "Sys.Color   = 1\rCom.Setting = 4\rPoll.Rate   = 250\r", false,
         2, "\"interval\":250", "", "1 4 250 1 2 5 10 20 50 100 1 1 1 1 1 1 1"},
        {"ByteOrderMark", Found::File, "\xef\xbb\xbfPoll.Rate   = 250\r\nSys.Color   = 1\r\n",
         false, 2, "\"interval\":250", "", "1 1 250 1 2 5 10 20 50 100 1 1 1 1 1 1 1"},
        {"ControlCharactersInAValue", Found::File,
         QByteArrayLiteral("Sys.Color   = 1\r\nPoll.Rate   = 2\0\x1b[2J\r\n"), false, 3,
         "brisvel-run: %1: Poll.Rate \"2\\x00\\x1b[2J\" is not a poll interval from 30 to 65535 "
         "ms: give --interval MS\n",
         "", QByteArrayLiteral("1 1 2\0\x1b[2J 1 2 5 10 20 50 100 1 1 1 1 1 1 1")},
        {"LinkToAFile", Found::Link, "Sys.Color   = 1\r\nCom.Setting = 4\r\nPoll.Rate   = 250\r\n",
         false, 2, "\"interval\":250", "", "1 4 250 1 2 5 10 20 50 100 1 1 1 1 1 1 1"},
};

void PrintTo(const SetupCase &c, std::ostream *out)
{
    *out << c.name;
}

// What stands at `path`, and a regular file's bytes.
QString pathState(const QString &path)
{
    const QFileInfo info(path);
    QFile file(path);
    return info.isSymLink()                              ? "link to " + info.symLinkTarget()
           : info.isDir()                                ? QString("folder")
           : info.isFile() && file.open(QFile::ReadOnly) ? "file " + file.readAll().toHex()
                                                         : QString("other");
}

class SetupFileTest : public testing::TestWithParam<SetupCase>
{ };

TEST_P(SetupFileTest, EachProgramSaysWhatItCannotUseAndLeavesIt)
{
    const SetupCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = setupFilePath(dir.path());
    const QString linked = dir.filePath("mine.ini");
    const auto write = [](const QString &name, const QByteArray &bytes) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    bool made = false;
    switch (c.found) {
    case Found::File:
    case Found::Unreadable:
        made = write(path, c.bytes);
        break;
    case Found::Folder:
        made = QDir(dir.path()).mkdir("SETUP.INI");
        break;
    case Found::NamedPipe:
        made = ::mkfifo(QFile::encodeName(path), 0600) == 0;
        break;
    case Found::Device:
        // A device of its own where this user may make one: a save through a link to /dev/zero
        // would put a file in its place. Another user may not replace /dev/zero.
        made = ::mknod(QFile::encodeName(path), S_IFCHR | 0666, makedev(1, 5)) == 0
               || QFile::link("/dev/zero", path);
        break;
    case Found::Link:
        made = write(linked, c.bytes) && QFile::link(linked, path);
        break;
    case Found::BackupBlocked:
        made = write(path, c.bytes) && QDir(dir.path()).mkdir("SETUP.INI.bak");
        break;
    }
    ASSERT_TRUE(made);
    const QString before = pathState(path);
    if (c.found == Found::Unreadable) {
        ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
        if (QFile file(path); file.open(QIODevice::ReadOnly))
            GTEST_SKIP() << "this user reads a file of mode 200";
    }

    ASSERT_TRUE(QDir(dir.path()).mkdir("ports")
                && QFile::link(dir.filePath("gone"), comPortLink(9, dir.path())));
    ProgramRunner run(RUN_PATH,
                      {"--com", "9", "--polls", "1", "--json", "--data-folder", dir.path()});
    EXPECT_EQ(run.finish(), c.runnerExit) << qPrintable(run.err);
    const QString runner = QString(c.runner).replace("%1", path);
    if (c.runnerExit == 3)
        EXPECT_EQ(run.err, runner + "Try 'brisvel-run --help' for more information.\n");
    else
        EXPECT_TRUE(run.out.contains(runner)) << qPrintable(run.out);

    QStringList messages;
    TesterWindow::setMessageShower([&](QWidget *, const QString &title, const QString &text,
                                       const QString &) { messages << title + ": " + text; });
    MemoryLine line;
    std::unique_ptr<TesterWindow> window;
    Startup startup(dir.path(), [&](DisplayProfile layout) {
        window = std::make_unique<TesterWindow>(layout, dir.path(), &line);
        window->show();
    });
    startup.start();
    EXPECT_EQ(window == nullptr, c.chooser);
    if (!window) {
        ASSERT_TRUE(QTest::qWaitFor([] { return openWindows<ColorSheme>().size() == 1; }));
        openWindows<ColorSheme>().first()->findChild<QPushButton *>("Command1_1")->click();
        ASSERT_TRUE(window);
    }
    QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall); // the box at the start
    window->close();
    TesterWindow::setMessageShower({});
    const QString why = QString(c.why).replace("%1", path);
    EXPECT_EQ(messages,
              why.isEmpty()
                      ? QStringList()
                      : QStringList({"Settings Not Read: Cannot use the settings file " + path
                                             + ": " + why
                                             + ". The window opens with the default settings "
                                               "and leaves the file as it is.",
                                     "Settings Not Saved: The settings were not saved to " + path
                                             + ", which is left as it was: " + why + "."}));

    if (c.found == Found::Unreadable) {
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    }
    if (c.saved.isEmpty()) {
        EXPECT_EQ(pathState(path), before);
    } else {
        QFile file(c.found == Found::Link ? linked : path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), setupFile(c.saved));
        EXPECT_EQ(QFileInfo(path).isSymLink(), c.found == Found::Link);
    }
}

INSTANTIATE_TEST_SUITE_P(Found, SetupFileTest, testing::ValuesIn(setupCases),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

} // namespace
