#include "displayprofile.h"
#include "fonts.h"
#include "memoryline.h"
#include "statisticswindow.h"
#include "testerwindow.h"
#include "trafficlogview.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// Saving and recording the traffic from the tester window, in both layouts.
namespace {

const QByteArray idleReply = QByteArray::fromHex("020B20010000000000032A");

struct Chooser
{
    QString title;
    QString suggested;
};

class TrafficWindowTest : public testing::TestWithParam<DisplayProfile>
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        setDisplayProfile(GetParam());
        TesterWindow::setMessageShower([this](QWidget *, const QString &title, const QString &,
                                              const QString &) { messages << title; });
        // The operator picks the file at once: the next path of the queue.
        TesterWindow::setFileChooser([this](QWidget *, const QString &title,
                                            const QString &suggested,
                                            const std::function<void(const QString &)> &chosen) {
            choosers.append({title, suggested});
            if (!paths.isEmpty())
                chosen(paths.takeFirst());
        });
        window = std::make_unique<TesterWindow>(GetParam(), dir.path(), &line);
        window->findChild<QLineEdit *>("Text2")->setText("65535"); // the test sends by hand
        window->show();
    }

    void TearDown() override
    {
        TesterWindow::setMessageShower({});
        TesterWindow::setFileChooser({});
    }

    QAction *action(const char *name) const { return window->findChild<QAction *>(name); }

    // A run start and one frame more, each answered.
    void converse()
    {
        window->findChild<QPushButton *>("Check4")->click();
        line.push(idleReply);
        window->model().SendCommand();
        line.push(idleReply);
    }

    QStringList fileLines(const QString &path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    MemoryLine line;
    std::unique_ptr<TesterWindow> window;
    QStringList messages;
    QList<Chooser> choosers;
    QStringList paths;
};

TEST_P(TrafficWindowTest, CtrlSSavesTheWholeRecord)
{
    converse();
    paths << dir.filePath("saved.txt");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(choosers.size(), 1);
    EXPECT_EQ(choosers[0].title, "Save Traffic");
    EXPECT_TRUE(choosers[0].suggested.endsWith(".txt"));
    EXPECT_EQ(fileLines(dir.filePath("saved.txt")), window->record().lines());
    EXPECT_EQ(window->record().size(), 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_P(TrafficWindowTest, EveryLogRowOffersTheMenu)
{
    auto *menu = window->findChild<QMenu *>("logMenu");
    ASSERT_TRUE(menu);
    QStringList texts;
    for (const QAction *item : menu->actions())
        texts << item->text();
    EXPECT_EQ(texts, QStringList({"Save Traffic...", "Statistics...", "Record to File..."}));
    auto *log = window->findChild<TrafficLogView *>("TrafficLog");
    ASSERT_EQ(log->contextMenuPolicy(), Qt::CustomContextMenu);
    for (const QPoint at : {log->cellRect(TrafficLogView::Sent, 0).center(),
                            log->cellRect(TrafficLogView::Reply, 15).center()}) {
        EXPECT_FALSE(menu->isVisible());
        emit log->customContextMenuRequested(at);
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000)) << at.y();
        menu->hide();
    }
}

TEST_P(TrafficWindowTest, RecordingRunsUntilTheWindowCloses)
{
    const QString path = dir.filePath("record.txt");
    paths << path;
    action("recordAction")->trigger();
    ASSERT_EQ(choosers.size(), 1);
    EXPECT_EQ(choosers[0].title, "Record to File");
    EXPECT_EQ(action("recordAction")->text(), "Stop Recording");

    converse();
    EXPECT_EQ(fileLines(path), window->record().lines());
    window->model().SendCommand(); // still waiting for its reply when the window closes
    EXPECT_EQ(fileLines(path).size(), 2);
    window->close();
    EXPECT_FALSE(window->record().recording());
    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[2].endsWith("# no reply yet"));
}

TEST_P(TrafficWindowTest, StopRecordingAndAFileThatCannotBeWritten)
{
    paths << dir.filePath("record.txt") << dir.filePath("no/such/folder/record.txt");
    action("recordAction")->trigger();
    action("recordAction")->trigger();
    EXPECT_FALSE(window->record().recording());
    EXPECT_EQ(action("recordAction")->text(), "Record to File...");
    EXPECT_EQ(choosers.size(), 1) << "stopping asks for no file";

    action("recordAction")->trigger();
    EXPECT_EQ(messages, QStringList{"Recording Not Started"});
    EXPECT_FALSE(window->record().recording());
    paths << dir.filePath("no/such/folder/saved.txt");
    action("saveTrafficAction")->trigger();
    EXPECT_EQ(messages, QStringList({"Recording Not Started", "Traffic Not Saved"}));
    // The dialogs open in the last folder where writing worked, never where it failed.
    action("saveTrafficAction")->trigger();
    ASSERT_EQ(choosers.size(), 4);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(QFileInfo(choosers[i].suggested).path(), dir.path()) << i;

#ifdef Q_OS_LINUX
    // A recording that fails later sends the next dialog back to the documents folder.
    paths << "/dev/full";
    action("recordAction")->trigger();
    converse();
    EXPECT_EQ(messages.last(), "Recording Stopped");
    action("saveTrafficAction")->trigger();
    EXPECT_EQ(QFileInfo(choosers.last().suggested).path(),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
#endif
}

TEST_P(TrafficWindowTest, TheFileDialogTellsFileTypesByNameAlone)
{
    QFile document(dir.filePath("document"));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly) && document.write("%PDF-1.4\n") > 0);
    document.close();
    TesterWindow::setFileChooser({});
    action("saveTrafficAction")->trigger();
    auto *dialog = window->findChild<QFileDialog *>();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseCustomDirectoryIcons));
    ASSERT_TRUE(dialog->iconProvider());
    EXPECT_FALSE(dialog->iconProvider()->type(QFileInfo(document)).contains("PDF"));
    dialog->close();
}

TEST_P(TrafficWindowTest, StatisticsFollowTheConversationUntilTheWindowCloses)
{
    action("statisticsAction")->trigger();
    auto *statistics = window->findChild<StatisticsWindow *>();
    ASSERT_TRUE(statistics);
    EXPECT_TRUE(statistics->isWindow());
    EXPECT_TRUE(statistics->isVisible());
    const auto *figures = statistics->findChild<QTableWidget *>("figuresTable");
    const auto figure = [figures](const QString &name) {
        for (int row = 0; row < figures->rowCount(); ++row) {
            if (figures->item(row, 0)->text() == name)
                return figures->item(row, 1)->text();
        }
        return QString();
    };
    EXPECT_EQ(figure("Frames sent"), "0");
    EXPECT_EQ(figure("Latency median"), "-");

    converse();
    EXPECT_TRUE(QTest::qWaitFor([&] { return figure("Replies") == "2"; }, 5000));
    EXPECT_EQ(figure("Frames sent"), "2");
    EXPECT_EQ(figure("Power up"), "0");
    EXPECT_TRUE(figure("Latency median").endsWith(" ms"));

    window->findChild<QPushButton *>("Command2")->click(); // resets the tally
    EXPECT_TRUE(QTest::qWaitFor([&] { return figure("Frames sent") == "0"; }, 5000));
    window->close();
    EXPECT_FALSE(statistics->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Layouts, TrafficWindowTest, testing::Values(HighColour, Colour256),
                         [](const testing::TestParamInfo<DisplayProfile> &info) {
                             return info.param == HighColour ? "MAIN64K" : "MAIN256";
                         });

} // namespace
