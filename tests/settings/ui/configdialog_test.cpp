#include "configdialog.h"
#include "fakechannels.h"
#include "formchecks.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace FormChecks;

namespace {

using Texts = std::array<QString, 7>;

class ConfigDialogTest : public testing::Test
{
protected:
    void TearDown() override { closeAllWindows(); }

    ConfigDialog *open()
    {
        auto *dialog = new ConfigDialog(&channels, &channels);
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        return dialog;
    }

    static QLineEdit *box(QWidget *dialog, int i)
    {
        return dialog->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i));
    }

    static Texts boxTexts(QWidget *dialog)
    {
        Texts texts;
        for (int i = 0; i < 7; ++i)
            texts[i] = box(dialog, i)->text();
        return texts;
    }

    static void type(QWidget *dialog, const Texts &texts)
    {
        for (int i = 0; i < 7; ++i)
            box(dialog, i)->setText(texts[i]);
    }

    static void click(QWidget *dialog, const char *button)
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
    }

    FakeChannels channels;
};

struct Control
{
    const char *name;
    QRect twipRect;
    const char *text;
};

// Label11 and Label12 are a little wider than on the original form, so that their texts fit
// with the metric-compatible substitute of Times New Roman.
const Control controls[] = {
        {"Text1_0", {1275, 825, 1215, 285}, ""},
        {"Text1_1", {1275, 1125, 1215, 285}, ""},
        {"Text1_2", {1275, 1425, 1215, 285}, ""},
        {"Text1_3", {1275, 1725, 1215, 285}, ""},
        {"Text1_4", {1275, 2025, 1215, 285}, ""},
        {"Text1_5", {3675, 1725, 1215, 285}, ""},
        {"Text1_6", {3675, 2025, 1215, 285}, ""},
        {"Command1", {6000, 1575, 1140, 315}, "DONE"},
        {"Command2", {6000, 2100, 1140, 315}, "CANCEL"},
        {"Label1", {225, 225, 2565, 240}, "DENOMINATIONS SETUP"},
        {"Label3", {375, 480, 810, 285}, "Channel #"},
        {"Label4", {1425, 600, 1065, 165}, "BILL VALUE"},
        {"Label2_0", {375, 900, 540, 165}, "1 ST"},
        {"Label2_1", {375, 1200, 540, 165}, "2 ND"},
        {"Label2_2", {375, 1500, 540, 165}, "3 RD"},
        {"Label2_3", {375, 1800, 540, 165}, "4 TH"},
        {"Label2_4", {375, 2100, 540, 165}, "5 TH"},
        {"Label2_5", {2880, 1800, 540, 165}, "6 TH"},
        {"Label2_6", {2880, 2100, 540, 165}, "7 TH"},
        {"Label5", {2925, 825, 2340, 240}, "Use no currency sign or commas"},
        {"Label6", {2925, 1050, 2940, 240}, "i.e. $1,000 note just type in \"1000\""},
        {"Label7", {225, 2625, 2190, 240}, "OPERATION MODES"},
        {"Label10", {525, 3000, 1140, 240}, "POLL RATE"},
        {"Label11", {1875, 3000, 5460, 495}, "The poll speed of the communication. The faster"},
        {"Label12", {525, 3525, 1200, 165}, "NORMAL POLL"},
        {"Label13", {1875, 3525, 5265, 240}, "Use this for most applications. Automatic polls"},
        {"Label14", {525, 3900, 1140, 165}, "STEP INTO"},
        {"Label15", {1875, 3900, 5265, 240}, "Use this mode in development phase. Lets you"},
        {"Label16", {525, 4275, 990, 390}, "INTERRUPT MODE"},
        {"Label17", {1875, 4275, 5265, 510}, "The Contoller will only poll the status upon"},
        {"Label18", {525, 4800, 1065, 390}, "ESCROW ENABLED"},
        {"Label19", {1875, 4800, 5460, 735}, "Enables the acceptor to hold a valid Bill in"},
};

TEST_F(ConfigDialogTest, FormHoldsEveryControlInPlace)
{
    ConfigDialog *dialog = open();
    const QStringList helpTexts = {"Label11", "Label13", "Label15", "Label17", "Label19"};
    for (const Control &c : controls) {
        SCOPED_TRACE(c.name);
        auto *widget = dialog->findChild<QWidget *>(c.name);
        ASSERT_NE(widget, nullptr);
        const QRect &t = c.twipRect;
        EXPECT_EQ(widget->geometry(), twips(t.x(), t.y(), t.width(), t.height()));
        EXPECT_EQ(widget->font().family(), "Times New Roman");
        const bool helpText = helpTexts.contains(c.name);
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), helpText ? 9 : 8.25);
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            EXPECT_TRUE(helpText ? label->text().startsWith(c.text) : label->text() == c.text);
            EXPECT_EQ(bool(label->alignment() & Qt::AlignRight),
                      QString(c.name).startsWith("Label2_"));
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            EXPECT_EQ(button->text(), c.text);
        }
    }
    EXPECT_EQ(dialog->focusWidget(), box(dialog, 0));
    EXPECT_EQ(tabOrder(dialog), QStringList({"Text1_0", "Text1_1", "Text1_2", "Text1_3", "Text1_4",
                                             "Text1_5", "Text1_6", "Command1", "Command2"}));
    EXPECT_EQ(labelsCutOff(dialog), QStringList());
}

TEST_F(ConfigDialogTest, WindowIsACentredResizableWindowWithoutMaximizeBox)
{
    ConfigDialog *dialog = open();
    EXPECT_EQ(dialog->objectName(), "Config");
    EXPECT_EQ(dialog->windowTitle(), "Configurations");
    EXPECT_EQ(dialog->size(), QSize(501, 406));
    EXPECT_NE(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_TRUE(isCentred(dialog));
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_FALSE(dialog->isModal());
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window);
    EXPECT_TRUE(flags.testFlags(Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

struct DoneCase
{
    const char *name;
    Texts typed;
    Texts boxesAfter;
    int refusedBox; // the box that gets the focus and the selection, or -1 when applied
};

void PrintTo(const DoneCase &c, std::ostream *out)
{
    *out << c.name;
}

const DoneCase doneCases[] = {
        {"AllEmptyBecome0", {"", "", "", "", "", "", ""}, {"0", "0", "0", "0", "0", "0", "0"}, -1},
        {"LettersInBox3StopBeforeEmptyBox5",
         {"7", "8", "abc", "9", "", "30", "40"},
         {"7", "8", "abc", "9", "", "30", "40"},
         2},
        {"EmptiesBeforeTheRefusedBoxKeep0",
         {"", "1", "", "x1", "", "", ""},
         {"0", "1", "0", "x1", "", "", ""},
         3},
        {"LastBoxRefused",
         {"1", "2", "5", "10", "20", "50", "1,,0"},
         {"1", "2", "5", "10", "20", "50", "1,,0"},
         6},
        {"TooLargeForTheSettingsFile",
         {"1", "2", "5", "10", "20", "50", "99999999999999999999"},
         {"1", "2", "5", "10", "20", "50", "99999999999999999999"},
         6},
        {"BelowTheSmallestWholeNumber",
         {"1", "-2147483649", "", "", "", "", ""},
         {"1", "-2147483649", "", "", "", "", ""},
         1},
        {"TextsGoOverAsTyped",
         {" 20", "1.5", "-3", "1e3", "+4", "  7  ", "2147483647"},
         {" 20", "1.5", "-3", "1e3", "+4", "  7  ", "2147483647"},
         -1},
};

class ConfigDoneTest : public ConfigDialogTest, public testing::WithParamInterface<DoneCase>
{ };

TEST_P(ConfigDoneTest, DoneValidatesInChannelOrder)
{
    const DoneCase &c = GetParam();
    const Texts before = channels.captions;
    QPointer<ConfigDialog> dialog = open();
    type(dialog, c.typed);

    click(dialog, "Command1");

    if (c.refusedBox < 0) {
        EXPECT_EQ(channels.captions, c.boxesAfter);
        EXPECT_EQ(channels.valueChgCalls, 1);
        EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
        return;
    }
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(boxTexts(dialog), c.boxesAfter);
    QLineEdit *refused = box(dialog, c.refusedBox);
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == refused; }));
    EXPECT_EQ(refused->selectionStart(), 0);
    EXPECT_EQ(refused->selectedText(), refused->text());
    EXPECT_EQ(channels.captions, before);
    EXPECT_EQ(channels.valueChgCalls, 0);

    box(dialog, c.refusedBox)->setText("5");
    click(dialog, "Command1");
    EXPECT_EQ(channels.valueChgCalls, 1);
    EXPECT_EQ(channels.captions[c.refusedBox], "5");
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigDoneTest, testing::ValuesIn(doneCases),
                         [](const auto &info) { return std::string(info.param.name); });

class ConfigLeaveTest : public ConfigDialogTest, public testing::WithParamInterface<bool>
{ };

TEST_P(ConfigLeaveTest, CancelAndTheCloseBoxWriteNothing)
{
    const Texts before = channels.captions;
    QPointer<ConfigDialog> dialog = open();
    type(dialog, {"9", "9", "9", "9", "9", "9", "9"});

    if (GetParam())
        click(dialog, "Command2");
    else
        dialog->windowHandle()->close();

    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
    EXPECT_EQ(channels.captions, before);
    EXPECT_EQ(channels.valueChgCalls, 0);
    EXPECT_EQ(boxTexts(open()), before);
}

INSTANTIATE_TEST_SUITE_P(Ways, ConfigLeaveTest, testing::Bool(),
                         [](const auto &info) { return info.param ? "Cancel" : "CloseBox"; });

TEST(ConfigDialogLifetime, ClosesWhenTheTesterWindowGoesAway)
{
    auto channels = std::make_unique<FakeChannels>();
    QPointer<ConfigDialog> dialog = new ConfigDialog(channels.get(), channels.get());
    dialog->show();
    channels.reset();
    QTest::mouseClick(dialog->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
}

} // namespace
