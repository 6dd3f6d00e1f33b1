#include "configdialog.h"
#include "fakechannels.h"
#include "formchecks.h"

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
