// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/aboutwindow.h"
#include "settings/ui/colorsheme.h"
#include "settings/ui/configdialog.h"
#include "tests/support/frames.h"
#include "tests/support/memoryline.h"
#include "widgets/fonts.h"
#include "widgets/trafficlogview.h"
#include "window/model/acceptancestatistics.h"
#include "window/statisticswindow.h"
#include "window/testerwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

// Every window is drawn offscreen and compared with its reference picture in
// tests/window/forms/pictures. After a deliberate change of the look, `BRISVEL_WRITE_PICTURES=1
// build/tests/forms_tests` draws the references anew. They hold for the fonts of the build
// machine (the Liberation faces standing in for the Windows ones). Beside the pictures, the
// facts a picture cannot show: titles, tab order, what assistive technology reads, and texts
// fitting their controls.
namespace {

// What the window shows: drawn afresh, or, with `asShown`, as its repaints left it on the screen.
void expectLooksLike(QWidget *window, const QString &name, bool asShown = false)
{
    SCOPED_TRACE(name.toStdString());
    const QImage drawn = (asShown ? *static_cast<QImage *>(window->backingStore()->paintDevice())
                                  : window->grab().toImage())
                                 .convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(REFERENCE_PICTURES "/%1.png").arg(name);
    if (qEnvironmentVariableIsSet("BRISVEL_WRITE_PICTURES")) {
        EXPECT_TRUE(drawn.save(path)) << path.toStdString();
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), reference.size()) << path.toStdString();
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y), b = reference.pixel(x, y);
            differing += qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                              qAbs(qBlue(a) - qBlue(b)))
                         > 16;
        }
    }
    // A text cursor blinking is all that may differ; rounding in another CPU's blending is not a
    // difference.
    if (differing > 24) {
        const QString saved = QDir::current().absoluteFilePath(name + QStringLiteral("-drawn.png"));
        drawn.save(saved);
        ADD_FAILURE() << differing << " pixels differ; the drawing is in " << saved.toStdString();
    }
}

// Every one-line caption fits its control; in the tester window every named control also says
// what it is for.
void checkControls(QWidget *window, bool described = false)
{
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !widget->isVisibleTo(window))
            continue;
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(!described || !widget->accessibleDescription().isEmpty());
        const QFontMetrics metrics(widget->font());
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            // Wrapped within the label's width, the last line's base line stays inside it.
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 10000), flags,
                                                      label->text());
            const int lines = qMax(1, qRound(double(needed.height()) / metrics.lineSpacing()));
            EXPECT_LE(needed.width(), label->contentsRect().width());
            EXPECT_LE((lines - 1) * metrics.lineSpacing() + metrics.ascent(), label->height());
        } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
            EXPECT_LE(box->sizeHint().width(), box->width());
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            EXPECT_LE(metrics.horizontalAdvance(button->text()) + 4, button->width());
        } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            EXPECT_LT(frame->style()
                              ->subControlRect(QStyle::CC_GroupBox, &option,
                                               QStyle::SC_GroupBoxLabel, frame)
                              .right(),
                      frame->width());
        }
    }
}

// The window's title, and the widgets that the Tab key visits, from the first one named.
void expectTitleAndTabOrder(QWidget *window, const QString &title, const QStringList &order)
{
    EXPECT_EQ(window->windowHandle()->title(), title);
    QStringList visited;
    QWidget *first = window->findChild<QWidget *>(order.first());
    QWidget *widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()
            && widget->isVisibleTo(window))
            visited << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first);
    EXPECT_EQ(visited, order);
}

const QStringList channelBoxes{"Check1_0", "Check1_1", "Check1_2", "Check1_3",
                               "Check1_4", "Check1_5", "Check1_6"};

struct Layout
{
    DisplayProfile profile;
    const char *name;
    QStringList tabOrder;
};

void PrintTo(const Layout &c, std::ostream *out)
{
    *out << c.name;
}

class PicturesTest : public testing::TestWithParam<Layout>
{ };

// Twenty polls answered, so that the log has scrolled: idle replies, a note accepted, escrowed,
// stacked and counted, and one poll left unanswered.
TEST_P(PicturesTest, TesterWindowIdleAndPolling)
{
    const Layout &layout = GetParam();
    installFontSubstitutions();
    QTemporaryDir dir;
    MemoryLine line;
    TesterWindow window(layout.profile, dir.path(), &line);
    window.show();
    expectTitleAndTabOrder(&window, "Brisvel 2.1", layout.tabOrder);
    checkControls(&window, true);
    expectLooksLike(&window, QStringLiteral("%1-idle").arg(layout.name));

    const int states[] = {1, 1, 1, 1, 1, 1, 2, 2, 4, 8, 0x11, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    // The test makes every poll itself: the run's own timer must not add one, however slow the
    // machine. The interval box shows its usual text again for the picture.
    auto *interval = window.findChild<QLineEdit *>("Text2");
    const QString shownInterval = interval->text();
    interval->setText("65535");
    window.findChild<QPushButton *>("Check4")->click();
    for (int i = 0; i < 20; ++i) {
        if (states[i])
            line.push(Frames::reply({states[i], 0, states[i] == 1 ? 0 : 0x30}, 0x20 | i % 2));
        window.model().SendCommand();
        QCoreApplication::processEvents(); // drawn before the next poll, as on the screen
    }
    interval->setText(shownInterval);
    // The lamps go dark 24 ms after the last send, on a timer of their own: the picture is drawn
    // once they have, however long the machine took to get here.
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window.model().panel().sendLamp == TesterModel::lampDark; }, 10000));
    // The reference is drawn as an inactive window: without the focus frame.
    QApplication::focusWidget()->clearFocus();
    QCoreApplication::processEvents();
    expectLooksLike(&window, QStringLiteral("%1-polling").arg(layout.name), true);

    // The longest lines of the log fit its cells.
    auto *log = window.findChild<TrafficLogView *>("TrafficLog");
    const QFontMetrics metrics(log->font());
    EXPECT_LE(metrics.horizontalAdvance(" 02 08 10 7F 00 00 03 6C STK"),
              log->cellRect(TrafficLogView::Sent, 0).width());
    EXPECT_LE(metrics.horizontalAdvance(" 02 0B 21 10 00 00 32 00 1A 03 5D ESC 7 STK"),
              log->cellRect(TrafficLogView::Reply, 0).width());

    // Assistive technology reads the log row by row, each cell a static text where it is drawn.
    QAccessibleInterface *cells = QAccessible::queryAccessibleInterface(log);
    ASSERT_EQ(cells->childCount(), 32);
    QAccessibleInterface *firstSent = cells->child(0);
    QAccessibleInterface *lastReply = cells->child(31);
    EXPECT_EQ(lastReply->role(), QAccessible::StaticText);
    EXPECT_EQ(firstSent->text(QAccessible::Name), " 02 08 11 7F 10 00 03 76    ");
    EXPECT_EQ(lastReply->text(QAccessible::Name), " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(firstSent->text(QAccessible::Description), "Traffic log row 0: the frame sent");
    EXPECT_EQ(cells->childAt(lastReply->rect().center().x(), lastReply->rect().center().y()),
              lastReply);
}

INSTANTIATE_TEST_SUITE_P(
        BothLayouts, PicturesTest,
        testing::Values(Layout{Colour256, "main256",
                               QStringList{"Text1", "Text2", "Command1", "Check6", "Check4"}
                                       + channelBoxes + QStringList{"Check2", "Command2"}},
                        Layout{HighColour, "main64k",
                               QStringList{"Text1", "Text2", "Command1", "Check6", "Check4",
                                           "Check2", "Command2"}
                                       + channelBoxes}),
        [](const testing::TestParamInfo<Layout> &info) { return std::string(info.param.name); });

TEST(Pictures, SideWindows)
{
    installFontSubstitutions();
    QTemporaryDir dir;
    MemoryLine line;
    TesterWindow tester(HighColour, dir.path(), &line);

    ColorSheme chooser;
    chooser.show();
    EXPECT_EQ(chooser.windowHandle()->title(), "SYSTEM SETUP");
    checkControls(&chooser);
    expectLooksLike(&chooser, QStringLiteral("chooser"));

    auto *about = new AboutWindow(&tester, &tester);
    about->show();
    expectTitleAndTabOrder(about, "About & Configurations", {"Command1"});
    checkControls(about);
    expectLooksLike(about, QStringLiteral("about"));

    ConfigDialog config(&tester, &tester);
    config.show();
    expectTitleAndTabOrder(&config, "Configurations",
                           {"Text1_0", "Text1_1", "Text1_2", "Text1_3", "Text1_4", "Text1_5",
                            "Text1_6", "Command1", "Command2"});
    checkControls(&config);
    expectLooksLike(&config, QStringLiteral("config"));
    about->close();
}

// The statistics of a short run whose replies mostly came well within the line's limit, a few
// beyond it.
TEST(Pictures, StatisticsWindow)
{
    installFontSubstitutions();
    QObject context;
    TrafficRecord record;
    AcceptanceStatistics statistics;
    statistics.followRecord(&record, &context);
    qint64 now = 0;
    for (const auto &[latency, replies] :
         {std::pair{12, 2}, {13, 46}, {14, 24}, {15, 4}, {16, 5}, {24, 1}, {26, 2}}) {
        for (int i = 0; i < replies; ++i) {
            now += 100;
            HostCommand command;
            command.frameText = Frames::command(0x20 | i % 2);
            record.addCommand(command, now, now);
            ReplyReport report = reportReply(
                    Frames::replyValue(Frames::reply({0x01}, 0x20 | i % 2)), {}, {});
            report.wallMs = report.steadyMs = now + latency;
            statistics.addReport(report);
            record.addReply(report);
        }
    }
    StatisticsWindow window(statistics);
    window.show();
    EXPECT_EQ(window.windowHandle()->title(), "Statistics");
    expectLooksLike(&window, QStringLiteral("statistics"));
}

} // namespace
