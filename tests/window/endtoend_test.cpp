// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/simulatedvalidator.h"
#include "widgets/fonts.h"
#include "window/testerwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// The tester window on one side of a real pseudo-terminal and the simulated validator on the
// other: what the validator receives, byte for byte, and what the record file says of it.
namespace {

constexpr int patience = 20000; // ms

using Frames::hex;

class EndToEndTest : public testing::Test
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        TesterWindow::setMessageShower([this](QWidget *, const QString &, const QString &text,
                                              const QString &) { messages << text; });
        TesterWindow::setFileChooser([this](QWidget *, const QString &, const QString &,
                                            const std::function<void(const QString &)> &chosen) {
            chosen(dir.filePath("record.txt"));
        });
        window = std::make_unique<TesterWindow>(HighColour, dir.path());
        // The test sends by hand, each frame once the one before is answered: in step.
        control<QLineEdit>("Text2")->setText("65535");
        window->show();
    }

    void TearDown() override
    {
        TesterWindow::setMessageShower({});
        TesterWindow::setFileChooser({});
    }

    template<typename Control>
    Control *control(const QString &name)
    {
        return window->findChild<Control *>(name);
    }

    // Sends (or starts a run) and waits until the validator has the frame.
    QByteArray send(const std::function<void()> &how)
    {
        const qsizetype before = validator.frames.size();
        how();
        const bool got = QTest::qWaitFor([&] { return validator.frames.size() > before; }, patience);
        return got ? validator.frames.last() : QByteArray();
    }

    bool replied() const
    {
        const TrafficRecord &record = window->record();
        return record.size() > 0 && record.at(record.size() - 1).report.has_value();
    }

    QTemporaryDir dir;
    SimulatedValidator validator{dir.path(), 1};
    std::unique_ptr<TesterWindow> window;
    QStringList messages;
};

enum Act { Start, Poll, Repeat, Drop, Corrupt, Insert, Clear };

struct Step
{
    Act act;
    const char *frame; // the frame the validator receives for Start, Poll and Repeat
    int channel = 0; // for Insert and Clear
};

// ACK alternates after good replies; a frame without a good reply goes out again; an escrowed
// note is stacked, and returned when its channel was cleared. Comments: the validator's reply.
const Step script[] = {
        {Start, "02 08 10 7F 10 00 03 77"},
        {Poll, "02 08 11 7F 10 00 03 76"},
        {Drop, nullptr},
        {Poll, "02 08 10 7F 10 00 03 77"}, // none
        {Repeat, "02 08 10 7F 10 00 03 77"},
        {Corrupt, nullptr},
        {Poll, "02 08 11 7F 10 00 03 76"}, // damaged
        {Poll, "02 08 11 7F 10 00 03 76"},
        {Insert, nullptr, 3},
        {Poll, "02 08 10 7F 10 00 03 77"}, // accepting
        {Poll, "02 08 11 7F 10 00 03 76"}, // accepting
        {Poll, "02 08 10 7F 10 00 03 77"}, // escrowed
        {Poll, "02 08 11 7F 30 00 03 56"}, // stacking
        {Poll, "02 08 10 7F 10 00 03 77"}, // stacked
        {Poll, "02 08 11 7F 10 00 03 76"},
        {Insert, nullptr, 2},
        {Poll, "02 08 10 7F 10 00 03 77"}, // accepting
        {Poll, "02 08 11 7F 10 00 03 76"}, // accepting
        {Poll, "02 08 10 7F 10 00 03 77"}, // escrowed
        {Clear, nullptr, 2},
        {Poll, "02 08 11 7D 50 00 03 34"}, // returning
        {Poll, "02 08 10 7D 10 00 03 75"},
        {Poll, "02 08 11 7D 10 00 03 74"},
};

QByteArray bytesOf(const QString &column, int count)
{
    return hex(column.split(' ', Qt::SkipEmptyParts).mid(0, count).join("").toLatin1());
}

TEST_F(EndToEndTest, TheLineCarriesTheProtocolAndTheRecordFileEveryByteOfIt)
{
    window->findChild<QAction *>("recordAction")->trigger();
    ASSERT_TRUE(window->record().recording());
    TesterModel &model = window->model();
    for (const Step &step : script) {
        SCOPED_TRACE(validator.frames.size());
        switch (step.act) {
        case Start:
            EXPECT_EQ(send([&] { control<QPushButton>("Check4")->click(); }), hex(step.frame));
            break;
        case Poll:
            ASSERT_TRUE(QTest::qWaitFor([&] { return replied(); }, patience));
            [[fallthrough]];
        case Repeat:
            EXPECT_EQ(send([&] { model.SendCommand(); }), hex(step.frame));
            break;
        case Drop:
            validator.line.inject(ValidatorLine::Fault::Drop);
            break;
        case Corrupt:
            validator.line.inject(ValidatorLine::Fault::Corrupt);
            break;
        case Insert:
            ASSERT_TRUE(validator.engine.insertNote(step.channel));
            break;
        case Clear:
            control<QCheckBox>(QStringLiteral("Check1_%1").arg(step.channel - 1))->setChecked(false);
            break;
        }
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return replied(); }, patience));
    control<QPushButton>("Check4")->click();
    window->close();
    EXPECT_EQ(validator.engine.stacked(), 1);
    EXPECT_EQ(validator.engine.returned(), 1);
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "1");
    EXPECT_EQ(model.tally().amount(NoteTally::totalRow), "5");
    EXPECT_TRUE(messages.isEmpty());

    QFile file(dir.filePath("record.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, window->record().lines());
    // Every frame the validator got and every reply it gave, each in its order; a damaged reply
    // is in the remarks.
    QList<QByteArray> sent, received;
    QStringList times;
    for (const QString &line : lines) {
        if (!line.left(28).trimmed().isEmpty())
            sent << bytesOf(line.left(28), 8);
        if (line.mid(30, 4) == " 02 ")
            received << bytesOf(line.mid(30, 43), 11);
        else if (line.contains("bad checksum: "))
            received << bytesOf(line.mid(line.indexOf("bad checksum: ") + 14), 11);
        times << line.mid(75, 29);
    }
    EXPECT_EQ(sent, validator.frames);
    EXPECT_EQ(received, validator.replies);
    QStringList sorted = times;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(times, sorted);
}

} // namespace
