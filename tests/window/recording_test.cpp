#include "displayprofile.h"
#include "fonts.h"
#include "simulatedvalidator.h"
#include "testerwindow.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// The tester window records to a file while it polls the simulated validator, which takes and
// stacks notes meanwhile.
namespace {

constexpr int patience = 20000; // ms

// The first `count` bytes written in hexadecimal in a column of the log.
QByteArray bytesOf(const QString &column, int count)
{
    const QStringList words = column.split(' ', Qt::SkipEmptyParts).mid(0, count);
    return QByteArray::fromHex(words.join("").toLatin1());
}

class Recording : public testing::Test
{
protected:
    void TearDown() override
    {
        TesterWindow::setMessageShower({});
        TesterWindow::setFileChooser({});
    }
};

TEST_F(Recording, FileHoldsEveryExchangeInOrderWhileNotesAreStacked)
{
    installFontSubstitutions();
    setDisplayProfile(HighColour);
    QTemporaryDir dir;
    SimulatedValidator validator(dir.path(), 1);
    QStringList messages;
    TesterWindow::setMessageShower([&](QWidget *, const QString &, const QString &text,
                                       const QString &) { messages << text; });
    const QString path = dir.filePath("record.txt");
    TesterWindow::setFileChooser(
            [&](QWidget *, const QString &, const QString &,
                const std::function<void(const QString &)> &chosen) { chosen(path); });

    auto window = std::make_unique<TesterWindow>(HighColour, dir.path());
    // Polls by hand, each once the reply to the one before is in: the exchanges keep in step.
    window->findChild<QLineEdit *>("Text2")->setText("65535");
    window->show();
    window->findChild<QAction *>("recordAction")->trigger();
    ASSERT_TRUE(window->record().recording());

    window->findChild<QPushButton *>("Check4")->click();
    const auto awaitReply = [&] {
        return QTest::qWaitFor([&] { return !window->record().awaitingReply(); }, patience);
    };
    int inserted = 0;
    for (int poll = 0; poll < 100 && validator.engine.stacked() < 3; ++poll) {
        ASSERT_TRUE(awaitReply());
        if (inserted < 3 && validator.engine.readyForNote())
            validator.engine.insertNote(3 + 2 * inserted++);
        window->model().SendCommand();
    }
    ASSERT_TRUE(awaitReply());
    ASSERT_EQ(validator.engine.stacked(), 3);
    window->model().SendCommand();
    window->findChild<QPushButton *>("Check4")->click();
    ASSERT_TRUE(awaitReply());
    window->close();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, window->record().lines());

    // Every frame the validator got and every reply it gave, each in its order.
    QList<QByteArray> sent;
    QList<QByteArray> received;
    int stackedLines = 0;
    for (const QString &line : lines) {
        if (!line.left(28).trimmed().isEmpty())
            sent << bytesOf(line.left(28), 8);
        const QString reply = line.mid(30, 43);
        if (reply.startsWith(" 02 "))
            received << bytesOf(reply, 11);
        stackedLines += line.startsWith(" 02 08") && line.mid(130, 11).trimmed() == "STACKED";
    }
    EXPECT_EQ(sent, validator.frames);
    EXPECT_EQ(received, validator.replies);
    EXPECT_EQ(stackedLines, 3);
    EXPECT_EQ(window->model().tally().quantity(NoteTally::totalRow), "3");
    EXPECT_EQ(window->model().tally().amount(NoteTally::totalRow), "125"); // 5 + 20 + 100
    EXPECT_TRUE(messages.isEmpty());

    QStringList times;
    for (const QString &line : lines)
        times << line.mid(75, 29);
    QStringList sorted = times;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(times, sorted);
}

} // namespace
