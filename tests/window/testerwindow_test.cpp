#include "aboutwindow.h"
#include "configdialog.h"
#include "displayprofile.h"
#include "fonts.h"
#include "memoryline.h"
#include "setupfile.h"
#include "testerwindow.h"
#include "trafficlogview.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Message
{
    QString title;
    QString text;
};

class TesterWindowTest : public testing::TestWithParam<DisplayProfile>
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        setDisplayProfile(ProfileNotChosen);
        TesterWindow::setMessageShower(
                [this](QWidget *, const QString &title, const QString &text, const QString &) {
                    messages.append({title, text});
                });
    }

    void TearDown() override { TesterWindow::setMessageShower({}); }

    std::unique_ptr<TesterWindow> openWindow(DisplayProfile layout)
    {
        auto window = std::make_unique<TesterWindow>(layout, dir.path(), &line);
        window->show();
        return window;
    }

    template<typename Control>
    static Control *find(TesterWindow &window, const QString &name)
    {
        auto *found = window.findChild<Control *>(name);
        EXPECT_TRUE(found) << qPrintable(name);
        return found;
    }

    QByteArray savedFile() const
    {
        QFile file(setupFilePath(dir.path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeFile(const QByteArray &bytes) const
    {
        QFile file(setupFilePath(dir.path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    template<typename Window>
    static QList<Window *> openWindows()
    {
        QList<Window *> found;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<Window *>(w); window && window->isVisible())
                found << window;
        }
        return found;
    }

    QTemporaryDir dir;
    MemoryLine line;
    QList<Message> messages;
};

TEST_P(TesterWindowTest, OpensIdleWithTheDefaultsWithoutAFile)
{
    auto window = openWindow(GetParam());
    EXPECT_EQ(window->windowTitle(), "Brisvel 2.1");
    EXPECT_EQ(find<QLineEdit>(*window, "Text1")->text(), "1");
    EXPECT_EQ(find<QLineEdit>(*window, "Text2")->text(), "100");
    const QStringList captions{"1", "2", "5", "10", "20", "50", "100"};
    for (int i = 0; i < 7; ++i) {
        auto *box = find<QCheckBox>(*window, QStringLiteral("Check1_%1").arg(i));
        EXPECT_EQ(box->text(), captions[i]);
        EXPECT_EQ(box->checkState(), Qt::Checked);
        EXPECT_EQ(find<QLabel>(*window, QStringLiteral("Label8_%1").arg(i))->text(), captions[i]);
    }
    EXPECT_TRUE(find<QPushButton>(*window, "Check6")->isChecked());
    EXPECT_FALSE(find<QPushButton>(*window, "Check4")->isChecked());
    EXPECT_EQ(find<QPushButton>(*window, "Command1")->text(), "Normal Poll");
    EXPECT_EQ(displayProfile(), GetParam());
    EXPECT_EQ(window->model().members().pollMode, NormalPoll);
    EXPECT_TRUE(window->model().members().portReopenPending);
    EXPECT_FALSE(window->model().pollTimerActive());
    EXPECT_TRUE(line.written.isEmpty());
    EXPECT_EQ(line.openAttempts, 0);
}

TEST_P(TesterWindowTest, ClosingAtOnceWritesTheDefaultFile)
{
    openWindow(GetParam())->close();
    const QByteArray expected = formatSetup(SetupSettings::defaults(GetParam()));
    EXPECT_EQ(savedFile(), expected);
    EXPECT_TRUE(savedFile().startsWith(GetParam() == Colour256 ? "Sys.Color   = 2\r\n"
                                                               : "Sys.Color   = 1\r\n"));
    EXPECT_EQ(line.openAttempts, 0) << "a port never used is never opened";
}

TEST_P(TesterWindowTest, ReadsTheFileAndSavesWhatChanged)
{
    SetupSettings settings = SetupSettings::defaults(HighColour);
    settings.comPort = 2;
    settings.pollRate = "250";
    settings.channelValues[6] = "500";
    settings.channelStates = {1, 0, 2, 1, 1, 1, 0};
    writeFile(formatSetup(settings));
    setDisplayProfile(HighColour);

    auto window = openWindow(GetParam());
    EXPECT_EQ(find<QLineEdit>(*window, "Text1")->text(), "2");
    EXPECT_EQ(find<QLineEdit>(*window, "Text2")->text(), "250");
    EXPECT_EQ(find<QCheckBox>(*window, "Check1_6")->text(), "500");
    EXPECT_EQ(find<QLabel>(*window, "Label8_6")->text(), "500");
    EXPECT_EQ(find<QCheckBox>(*window, "Check1_1")->checkState(), Qt::Unchecked);
    EXPECT_EQ(find<QCheckBox>(*window, "Check1_2")->checkState(), Qt::PartiallyChecked);

    // A port typed but never used for a run is not saved; escrow is not saved at all.
    find<QLineEdit>(*window, "Text1")->setText("3");
    find<QPushButton>(*window, "Check6")->setChecked(false);
    find<QCheckBox>(*window, "Check1_1")->setChecked(true);
    // A greyed box leaves the greyed state at the first click and never comes back to it.
    auto *greyed = find<QCheckBox>(*window, "Check1_2");
    QList<Qt::CheckState> clicked;
    for (int i = 0; i < 3; ++i) {
        greyed->click();
        clicked << greyed->checkState();
    }
    EXPECT_EQ(clicked, QList<Qt::CheckState>({Qt::Checked, Qt::Unchecked, Qt::Checked}));
    window->close();
    settings.channelStates[1] = 1;
    settings.channelStates[2] = 1;
    EXPECT_EQ(savedFile(), formatSetup(settings));

    auto again = openWindow(GetParam());
    EXPECT_TRUE(find<QPushButton>(*again, "Check6")->isChecked());
}

TEST_P(TesterWindowTest, ThePortInUseIsSaved)
{
    auto window = openWindow(GetParam());
    find<QLineEdit>(*window, "Text1")->setText("3");
    find<QPushButton>(*window, "Check4")->click();
    EXPECT_EQ(line.openedPorts, QList<int>{3});
    window->close();
    EXPECT_TRUE(savedFile().contains("Com.Setting = 3\r\n"));
    EXPECT_FALSE(line.isOpen()) << "closing the window closes the port";
}

TEST_P(TesterWindowTest, RunSwitchDrivesTheConversationAndTheDisplays)
{
    auto window = openWindow(GetParam());
    auto *runSwitch = find<QPushButton>(*window, "Check4");
    runSwitch->click();
    ASSERT_EQ(line.written.size(), 1);
    auto *log = find<TrafficLogView>(*window, "TrafficLog");
    EXPECT_EQ(log->text(TrafficLogView::Sent, 0), " 02 08 10 7F 10 00 03 77    ");
    EXPECT_EQ(find<QLabel>(*window, "Label14")->text(), " RUNNING");

    QByteArray stacked = QByteArray::fromHex("020B20100018000000030B");
    stacked[10] = 0;
    for (int i = 1; i <= 8; ++i)
        stacked[10] = char(stacked[10] ^ stacked[i]);
    line.push(stacked);
    EXPECT_EQ(log->text(TrafficLogView::Reply, 0),
              " 02 0B 20 10 00 18 00 00 00 03 "
                      + QString::fromLatin1(stacked.mid(10).toHex().toUpper()) + "     3 STD");
    EXPECT_EQ(find<QLabel>(*window, "Label9_2")->text(), "1");
    EXPECT_EQ(find<QLabel>(*window, "Label10_7")->text(), "5");
    EXPECT_EQ(find<QLabel>(*window, "Label15")->text(), " ");

    find<QPushButton>(*window, "Command2")->click();
    EXPECT_EQ(find<QLabel>(*window, "Label9_2")->text(), "0");

    // The program's own change of the switch suspends exactly as a click does.
    runSwitch->setChecked(false);
    EXPECT_EQ(find<QLabel>(*window, "Label14")->text(), " SYSTEM SUSPENDED");
    EXPECT_FALSE(window->model().pollTimerActive());
}

TEST_P(TesterWindowTest, ModeButtonShowsTheModeInCaptionAndColour)
{
    auto window = openWindow(GetParam());
    auto *button = find<QPushButton>(*window, "Command1");
    const QStringList captions{"Step Into", "Interrupt Mode", "Negative ACK", "Normal Poll"};
    for (const QString &caption : captions) {
        button->click();
        EXPECT_EQ(button->text(), caption);
        EXPECT_TRUE(button->styleSheet().contains(
                pollModeColour(window->model().members().pollMode, GetParam()).name()));
    }
}

TEST_P(TesterWindowTest, RefusedEntriesAreSelectedAndTheSwitchGoesBackOff)
{
    auto window = openWindow(GetParam());
    auto *interval = find<QLineEdit>(*window, "Text2");
    interval->setText("often");
    find<QPushButton>(*window, "Check4")->click();
    EXPECT_FALSE(find<QPushButton>(*window, "Check4")->isChecked());
    EXPECT_EQ(interval->selectedText(), "often");

    interval->setText("12");
    find<QPushButton>(*window, "Check4")->click();
    EXPECT_EQ(interval->text(), "30");
    EXPECT_EQ(window->model().pollInterval(), 30);
}

TEST_P(TesterWindowTest, PortThatCannotBeOpenedShowsTheSystemErrorBox)
{
    auto window = openWindow(GetParam());
    auto *port = find<QLineEdit>(*window, "Text1");
    port->setText("7");
    find<QPushButton>(*window, "Check4")->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].title, "System Error");
    EXPECT_EQ(messages[0].text, "Communication Port Error (#:8002).  COM port maybe in use by "
                                "other application(s) or does not exist.");
    EXPECT_FALSE(find<QPushButton>(*window, "Check4")->isChecked());
    EXPECT_EQ(port->selectedText(), "7");
    EXPECT_EQ(find<QLabel>(*window, "Label14")->text(), " SYSTEM SUSPENDED");
}

TEST_P(TesterWindowTest, SettingsThatCannotBeSavedAreReported)
{
    auto window = openWindow(GetParam());
    QFile::remove(setupFilePath(dir.path()));
    ASSERT_TRUE(QDir(dir.path()).mkdir("SETUP.INI")); // a folder where the file should be
    window->close();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains("SETUP.INI"));
}

TEST_P(TesterWindowTest, ConfigureToggleIsPressedExactlyWhileTheAboutWindowIsOpen)
{
    auto window = openWindow(GetParam());
    auto *toggle = find<QPushButton>(*window, "Check2");
    toggle->click();
    ASSERT_EQ(openWindows<AboutWindow>().size(), 1);
    EXPECT_TRUE(toggle->isChecked());

    // Released by hand, the About window stays; pressed again, the same one comes forward.
    toggle->click();
    EXPECT_EQ(openWindows<AboutWindow>().size(), 1);
    toggle->click();
    EXPECT_EQ(openWindows<AboutWindow>().size(), 1);

    openWindows<AboutWindow>().first()->close();
    QTRY_VERIFY(openWindows<AboutWindow>().isEmpty());
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(openWindows<ConfigDialog>().isEmpty());

    toggle->click();
    openWindows<AboutWindow>().first()->findChild<QPushButton *>("Command1")->click();
    QTRY_VERIFY(openWindows<AboutWindow>().isEmpty());
    EXPECT_FALSE(toggle->isChecked());
    ASSERT_EQ(openWindows<ConfigDialog>().size(), 1);
    openWindows<ConfigDialog>().first()->close();
}

TEST_P(TesterWindowTest, NewNoteValuesFromTheDialogTakeEffectAtOnce)
{
    auto window = openWindow(GetParam());
    window->model().setRunSwitch(true);
    auto *toggle = find<QPushButton>(*window, "Check2");
    toggle->click();
    openWindows<AboutWindow>().first()->findChild<QPushButton *>("Command1")->click();
    QTRY_COMPARE(openWindows<ConfigDialog>().size(), 1);
    ConfigDialog *dialog = openWindows<ConfigDialog>().first();
    dialog->findChild<QLineEdit *>("Text1_2")->setText("2.5");
    dialog->findChild<QPushButton *>("Command1")->click();
    QTRY_VERIFY(openWindows<ConfigDialog>().isEmpty());
    EXPECT_EQ(find<QCheckBox>(*window, "Check1_2")->text(), "2.5");
    EXPECT_EQ(find<QLabel>(*window, "Label8_2")->text(), "2.5");
    EXPECT_EQ(find<QCheckBox>(*window, "Check1_2")->checkState(), Qt::Checked);

    QByteArray stacked = QByteArray::fromHex("020B20100018000000030000");
    stacked.resize(11);
    for (int i = 1; i <= 8; ++i)
        stacked[10] = char(stacked[10] ^ stacked[i]);
    line.push(stacked);
    EXPECT_EQ(find<QLabel>(*window, "Label10_2")->text(), "2");
    window->close();
    EXPECT_TRUE(savedFile().contains("3rd.Value   = 2.5\r\n"));
}

TEST_P(TesterWindowTest, ClosingTheWindowClosesTheSideWindows)
{
    auto window = openWindow(GetParam());
    find<QPushButton>(*window, "Check2")->click();
    openWindows<AboutWindow>().first()->findChild<QPushButton *>("Command1")->click();
    find<QPushButton>(*window, "Check2")->click();
    QTRY_COMPARE(openWindows<ConfigDialog>().size(), 1);
    ASSERT_EQ(openWindows<AboutWindow>().size(), 1);
    struct CloseOrder : QObject
    {
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Close)
                closed << watched->objectName();
            return false;
        }
        QStringList closed;
    } order;
    openWindows<ConfigDialog>().first()->installEventFilter(&order);
    openWindows<AboutWindow>().first()->installEventFilter(&order);
    window->close();
    QTRY_VERIFY(openWindows<ConfigDialog>().isEmpty() && openWindows<AboutWindow>().isEmpty());
    EXPECT_EQ(order.closed, QStringList({"About", "Config"})) << "most recently opened first";
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(savedFile().startsWith("Sys.Color"));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, TesterWindowTest, testing::Values(HighColour, Colour256),
                         [](const auto &info) {
                             return info.param == Colour256 ? "MAIN256" : "MAIN64K";
                         });

} // namespace
