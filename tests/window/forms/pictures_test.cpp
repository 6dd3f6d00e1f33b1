#include "aboutwindow.h"
#include "colorsheme.h"
#include "configdialog.h"
#include "displayprofile.h"
#include "fonts.h"
#include "memoryline.h"
#include "testerwindow.h"
#include "trafficlogview.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Every window is drawn offscreen and compared with its reference picture in
// tests/window/forms/pictures. After a deliberate change of the look, `BRISVEL_WRITE_PICTURES=1
// build/tests/window/forms/forms_tests` draws the references anew. They hold for the fonts of the
// build machine (the Liberation faces standing in for the Windows ones). Beside the pictures, the
// facts a picture cannot show: titles, tab order, what assistive technology reads, and texts
// fitting their controls.
namespace {

// A text cursor blinking is all that may differ.
constexpr int toleratedPixels = 24;

void expectLooksLike(QWidget *window, const QString &name)
{
    SCOPED_TRACE(name.toStdString());
    const QImage drawn = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(REFERENCE_PICTURES "/%1.png").arg(name);
    if (qEnvironmentVariableIsSet("BRISVEL_WRITE_PICTURES")) {
        EXPECT_TRUE(drawn.save(path)) << path.toStdString();
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), reference.size()) << path.toStdString();
    int differing = 0;
    QRect where;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) != reference.pixel(x, y)) {
                ++differing;
                where |= QRect(x, y, 1, 1);
            }
        }
    }
    if (differing > toleratedPixels) {
        const QString saved = QDir::current().absoluteFilePath(name + QStringLiteral("-drawn.png"));
        drawn.save(saved);
        ADD_FAILURE() << differing << " pixels differ, from (" << where.x() << ", " << where.y()
                      << ") to (" << where.right() << ", " << where.bottom()
                      << "); the drawing is in " << saved.toStdString();
    }
}

QRect titleRect(QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
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
            EXPECT_LT(titleRect(frame).right(), frame->width());
        }
    }
}

// The widgets that take the focus with the Tab key, in the order the key visits them.
QStringList tabOrderFrom(QWidget *window, QWidget *first)
{
    QStringList order;
    QWidget *widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()
            && widget->isVisibleTo(window))
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

struct Layout
{
    DisplayProfile profile;
    const char *name;
    QStringList tabOrder;
    QRect firstSentCell; // in the window
    QRect lastReplyCell;
};

void PrintTo(const Layout &layout, std::ostream *out)
{
    *out << layout.name;
}

const QStringList channelBoxes{"Check1_0", "Check1_1", "Check1_2", "Check1_3",
                               "Check1_4", "Check1_5", "Check1_6"};

const Layout layouts[] = {
        {Colour256,
         "main256",
         QStringList{"Text1", "Text2", "Command1", "Check6", "Check4"} + channelBoxes
                 + QStringList{"Check2", "Command2"},
         {115, 185, 201, 16},
         {315, 410, 301, 16}},
        {HighColour,
         "main64k",
         QStringList{"Text1", "Text2", "Command1", "Check6", "Check4", "Check2", "Command2"}
                 + channelBoxes,
         {176, 185, 233, 16},
         {408, 424, 333, 16}},
};

class PicturesTest : public testing::TestWithParam<Layout>
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        setDisplayProfile(GetParam().profile);
        TesterWindow::setMessageShower(
                [](QWidget *, const QString &, const QString &, const QString &) {});
        window = std::make_unique<TesterWindow>(GetParam().profile, dir.path(), &line);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        TesterWindow::setMessageShower({});
    }

    // Twenty polls answered from a script, so that the log has scrolled: idle replies, a note
    // accepted, escrowed, stacked and counted, and one poll left unanswered.
    void converse()
    {
        const char *replies[] = {
                "020B20010000000000032A", "020B21010000000000032B", "020B20010000000000032A",
                "020B21010000000000032B", "020B20010000000000032A", "020B21010000000000032B",
                "020B200200300000000319", "020B210200300000000318", "020B20040030000000031F",
                "020B210800300000000312", "020B20110030000000030A", "",
                "020B20010000000000032A", "020B21010000000000032B", "020B20010000000000032A",
                "020B21010000000000032B", "020B20010000000000032A", "020B21010000000000032B",
                "020B20010000000000032A", "020B21010000000000032B"};
        window->findChild<QPushButton *>("Check4")->click();
        for (const char *reply : replies) {
            if (*reply)
                line.push(QByteArray::fromHex(reply));
            window->model().SendCommand();
        }
    }

    QTemporaryDir dir;
    MemoryLine line;
    std::unique_ptr<TesterWindow> window;
};

TEST_P(PicturesTest, TesterWindowIdleAndPolling)
{
    const Layout &layout = GetParam();
    EXPECT_EQ(window->windowHandle()->title(), "Brisvel 2.1");
    EXPECT_EQ(tabOrderFrom(window.get(), window->findChild<QWidget *>("Text1")), layout.tabOrder);
    checkControls(window.get(), true);
    expectLooksLike(window.get(), QStringLiteral("%1-idle").arg(layout.name));

    converse();
    expectLooksLike(window.get(), QStringLiteral("%1-polling").arg(layout.name));

    // The longest lines of the log fit its cells.
    auto *log = window->findChild<TrafficLogView *>("TrafficLog");
    const QFontMetrics metrics(log->font());
    EXPECT_LE(metrics.horizontalAdvance(" 02 08 10 7F 00 00 03 6C STK"),
              log->cellRect(TrafficLogView::Sent, 0).width());
    EXPECT_LE(metrics.horizontalAdvance(" 02 0B 21 10 00 00 32 00 1A 03 5D ESC 7 STK"),
              log->cellRect(TrafficLogView::Reply, 0).width());
}

// Assistive technology reads the log row by row, each cell a static text at its place.
TEST_P(PicturesTest, LogCellsReadAsStaticTexts)
{
    converse();
    QAccessibleInterface *log = QAccessible::queryAccessibleInterface(
            window->findChild<TrafficLogView *>("TrafficLog"));
    ASSERT_EQ(log->childCount(), 32);
    const auto windowRect = [this](const QAccessibleInterface *cell) {
        return cell->rect().translated(-window->mapToGlobal(QPoint(0, 0)));
    };
    QAccessibleInterface *firstSent = log->child(0);
    QAccessibleInterface *lastReply = log->child(31);
    EXPECT_EQ(firstSent->role(), QAccessible::StaticText);
    EXPECT_EQ(lastReply->role(), QAccessible::StaticText);
    EXPECT_EQ(windowRect(firstSent), GetParam().firstSentCell);
    EXPECT_EQ(windowRect(lastReply), GetParam().lastReplyCell);
    EXPECT_EQ(firstSent->text(QAccessible::Name), " 02 08 11 7F 10 00 03 76    ");
    EXPECT_EQ(lastReply->text(QAccessible::Name), " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(firstSent->text(QAccessible::Description), "Traffic log row 0: the frame sent");
    EXPECT_EQ(log->indexOfChild(lastReply), 31);
    EXPECT_EQ(log->childAt(lastReply->rect().center().x(), lastReply->rect().center().y()),
              lastReply);
    EXPECT_EQ(lastReply->parent(), log);

    QAccessibleInterface *windowInterface = QAccessible::queryAccessibleInterface(window.get());
    QStringList lamps;
    for (int i = 0; i < windowInterface->childCount(); ++i) {
        if (windowInterface->child(i)->text(QAccessible::Name).endsWith(QLatin1String(" lamp")))
            lamps << windowInterface->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(lamps, QStringList({"Send lamp", "Receive lamp"}));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, PicturesTest, testing::ValuesIn(layouts),
                         [](const testing::TestParamInfo<Layout> &info) {
                             return std::string(info.param.name);
                         });

TEST(Pictures, SideWindows)
{
    installFontSubstitutions();
    setDisplayProfile(HighColour);
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
    EXPECT_EQ(about->windowHandle()->title(), "About & Configurations");
    checkControls(about);
    EXPECT_EQ(tabOrderFrom(about, about->findChild<QWidget *>("Command1")),
              QStringList({"Command1"}));
    expectLooksLike(about, QStringLiteral("about"));

    ConfigDialog config(&tester, &tester);
    config.show();
    EXPECT_EQ(config.windowHandle()->title(), "Configurations");
    checkControls(&config);
    EXPECT_EQ(tabOrderFrom(&config, config.findChild<QWidget *>("Text1_0")),
              QStringList({"Text1_0", "Text1_1", "Text1_2", "Text1_3", "Text1_4", "Text1_5",
                           "Text1_6", "Command1", "Command2"}));
    expectLooksLike(&config, QStringLiteral("config"));
    about->close();
}

} // namespace
