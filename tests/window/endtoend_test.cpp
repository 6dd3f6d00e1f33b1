#include "displayprofile.h"
#include "fonts.h"
#include "pseudoterminal.h"
#include "testerwindow.h"
#include "trafficlines.h"
#include "validatorengine.h"
#include "validatorline.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// The tester window on one side of a real pseudo-terminal and the simulated validator on the
// other, checking what the validator receives byte for byte.
namespace {

constexpr int timeout = 10000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// One simulated validator on a pseudo-terminal, linked as a COM port of the data folder.
struct Validator
{
    Validator(const QString &dataFolder, int comPort)
    {
        EXPECT_TRUE(pty.openPair());
        QDir(dataFolder).mkpath("ports");
        EXPECT_TRUE(QFile::link(pty.slaveName(),
                                QStringLiteral("%1/ports/com%2").arg(dataFolder).arg(comPort)));
        line.setFast(true);
        QObject::connect(&line, &ValidatorLine::received,
                         [this](const QByteArray &bytes, bool) { frames << bytes; });
    }

    PseudoTerminal pty;
    ValidatorEngine engine;
    ValidatorLine line{engine, &pty};
    QList<QByteArray> frames;
};

class EndToEndTest : public testing::Test
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        setDisplayProfile(HighColour);
        TesterWindow::setMessageShower([this](QWidget *, const QString &, const QString &text,
                                              const QString &) { messages << text; });
        window = std::make_unique<TesterWindow>(HighColour, dir.path());
        // The tests send by hand: a poll timer that never ticks keeps the exchanges in step.
        control<QLineEdit>("Text2")->setText("65535");
        window->show();
    }

    void TearDown() override { TesterWindow::setMessageShower({}); }

    template<typename Control>
    Control *control(const QString &name)
    {
        return window->findChild<Control *>(name);
    }

    TesterModel &model() { return window->model(); }

    void awaitReply()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return model().members().replyReceived; }, timeout));
    }

    // Waits for the reply to the last frame, then sends the next one.
    void poll()
    {
        awaitReply();
        send();
    }

    void send()
    {
        const qsizetype sent = validator.frames.size();
        model().SendCommand();
        EXPECT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() > sent; }, timeout));
    }

    void start()
    {
        const qsizetype sent = validator.frames.size();
        control<QPushButton>("Check4")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() > sent; }, timeout));
    }

    QTemporaryDir dir;
    Validator validator{dir.path(), 1};
    std::unique_ptr<TesterWindow> window;
    QStringList messages;
};

TEST_F(EndToEndTest, NormalPollStartsAckClearAndAlternatesAfterGoodReplies)
{
    start();
    EXPECT_TRUE(control<QPushButton>("Check4")->isChecked());
    EXPECT_EQ(validator.frames[0], hex("02 08 10 7F 10 00 03 77"));
    for (int i = 0; i < 4; ++i)
        poll();
    const QList<QByteArray> expected{hex("02 08 10 7F 10 00 03 77"), hex("02 08 11 7F 10 00 03 76"),
                                     hex("02 08 10 7F 10 00 03 77"), hex("02 08 11 7F 10 00 03 76"),
                                     hex("02 08 10 7F 10 00 03 77")};
    EXPECT_EQ(validator.frames, expected);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(EndToEndTest, MissingOrCorruptReplyGetsTheSameFrameAgain)
{
    validator.line.inject(ValidatorLine::Fault::Drop);
    start();
    model().SendCommand();
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 2; }, timeout));
    EXPECT_EQ(validator.frames[1], validator.frames[0]);
    EXPECT_EQ(model().log().reply(0), noResponseLine());

    ASSERT_TRUE(QTest::qWaitFor([&] { return model().members().replyReceived; }, timeout));
    validator.line.inject(ValidatorLine::Fault::Corrupt);
    model().SendCommand();
    ASSERT_TRUE(
            QTest::qWaitFor([&] { return model().log().reply(2) == noResponseLine(); }, timeout));
    model().SendCommand();
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 4; }, timeout));
    EXPECT_EQ(validator.frames[3], validator.frames[2]);
    EXPECT_EQ(validator.frames[2], hex("02 08 11 7F 10 00 03 76"));
    poll();
    EXPECT_EQ(validator.frames[4], hex("02 08 10 7F 10 00 03 77"));
}

TEST_F(EndToEndTest, EscrowedNoteOfAnEnabledChannelIsStackedAndCountedOnce)
{
    start();
    ASSERT_TRUE(validator.engine.insertNote(3));
    for (int i = 0; i < 12 && validator.engine.stacked() == 0; ++i)
        poll();
    for (int i = 0; i < 3; ++i)
        poll();
    ASSERT_EQ(validator.engine.stacked(), 1);
    const auto stackRequests = std::count_if(validator.frames.cbegin(), validator.frames.cend(),
                                             [](const QByteArray &f) { return f[4] == 0x30; });
    EXPECT_EQ(stackRequests, 1);
    EXPECT_EQ(model().tally().quantity(2), "1");
    EXPECT_EQ(model().tally().amount(2), "5");
    EXPECT_EQ(model().tally().quantity(NoteTally::totalRow), "1");
}

TEST_F(EndToEndTest, EscrowedNoteIsReturnedWhenItsChannelIsClearedBeforeTheBuild)
{
    start();
    ASSERT_TRUE(validator.engine.insertNote(2));
    for (int i = 0; i < 12; ++i) {
        awaitReply();
        if (model().members().lastReply.escrowed())
            break;
        send();
    }
    ASSERT_TRUE(model().members().lastReply.escrowed());
    control<QCheckBox>("Check1_1")->setChecked(false);
    send();
    const QByteArray frame = validator.frames.last();
    EXPECT_EQ(quint8(frame[3]), 0x7D);
    EXPECT_EQ(quint8(frame[4]), 0x50);
    for (int i = 0; i < 6 && validator.engine.returned() == 0; ++i)
        poll();
    EXPECT_EQ(validator.engine.returned(), 1);
    EXPECT_EQ(validator.engine.stacked(), 0);
    EXPECT_EQ(model().tally().quantity(NoteTally::totalRow), "0");
}

TEST_F(EndToEndTest, StepIntoSendsOneFrameForEachPressOfTheRunSwitch)
{
    start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return model().members().replyReceived; }, timeout));
    control<QPushButton>("Check4")->click();
    control<QPushButton>("Command1")->click();
    ASSERT_EQ(control<QPushButton>("Command1")->text(), "Step Into");
    for (const char *frame : {"02 08 11 7F 10 00 03 76", "02 08 10 7F 10 00 03 77"}) {
        start();
        EXPECT_EQ(validator.frames.last(), hex(frame));
        EXPECT_FALSE(control<QPushButton>("Check4")->isChecked());
        ASSERT_TRUE(QTest::qWaitFor([this] { return model().members().replyReceived; }, timeout));
    }
    EXPECT_EQ(model().log().logRow(), 3) << "step runs continue the log";
}

TEST_F(EndToEndTest, InterruptModeSendsAtTheSwitchOnlyWhileNoTimerRuns)
{
    start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return model().members().replyReceived; }, timeout));
    control<QPushButton>("Check4")->click();
    control<QPushButton>("Command1")->click();
    control<QPushButton>("Command1")->click();
    ASSERT_EQ(control<QPushButton>("Command1")->text(), "Interrupt Mode");
    start();
    EXPECT_EQ(validator.frames.last(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_TRUE(control<QPushButton>("Check4")->isChecked());
    EXPECT_FALSE(model().pollTimerActive());
}

TEST_F(EndToEndTest, NegativeAckRepeatsTheSameFrameOnEveryTick)
{
    start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return model().members().replyReceived; }, timeout));
    control<QPushButton>("Check4")->click();
    for (int i = 0; i < 3; ++i)
        control<QPushButton>("Command1")->click();
    ASSERT_EQ(control<QPushButton>("Command1")->text(), "Negative ACK");
    control<QLineEdit>("Text2")->setText("30");
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() >= 6; }, timeout));
    control<QPushButton>("Check4")->click();
    for (qsizetype i = 1; i < validator.frames.size(); ++i)
        EXPECT_EQ(validator.frames[i], hex("02 08 10 7F 10 00 03 77")) << i;
}

TEST_F(EndToEndTest, PortThatDoesNotExistIsReportedAndAChangedPortIsOpened)
{
    QFile::link(dir.path() + "/no-such-device", dir.path() + "/ports/com9");
    control<QLineEdit>("Text1")->setText("9");
    control<QPushButton>("Check4")->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Communication Port Error (#:"));
    EXPECT_FALSE(control<QPushButton>("Check4")->isChecked());
    EXPECT_TRUE(validator.frames.isEmpty());

    Validator second(dir.path(), 2);
    control<QLineEdit>("Text1")->setText("2");
    control<QPushButton>("Check4")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.frames.size() == 1; }, timeout));
    EXPECT_EQ(second.frames[0], hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(model().members().comPort, 2);

    control<QPushButton>("Check4")->click();
    control<QLineEdit>("Text1")->setText("1");
    start();
    EXPECT_EQ(validator.frames[0], hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(second.frames.size(), 1);
}

} // namespace
