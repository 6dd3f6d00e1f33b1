#include "colorsheme.h"
#include "formchecks.h"

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace FormChecks;

namespace {

class ColorShemeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        chooser = new ColorSheme;
        chooser->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
    }
    void TearDown() override { closeAllWindows(); }

    QPointer<ColorSheme> chooser;
};

TEST_F(ColorShemeTest, IsABorderlessCentredWindowWithTheTwoChoices)
{
    EXPECT_EQ(chooser->objectName(), "ColorSheme");
    EXPECT_EQ(chooser->windowTitle(), "SYSTEM SETUP");
    EXPECT_TRUE(chooser->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(chooser->size(), QSize(412, 179));
    EXPECT_TRUE(isCentred(chooser));

    const std::pair<const char *, QString> texts[] = {
            {"Label1", "Select the Color depth setting of your computer."},
            {"Command1_0", "HI Color 800 X 600"},
            {"Label2", "Choose this for system that can support 16 bit color or higher "
                       "(recommended)."},
            {"Command1_1", "256 Color 640 X 480"},
            {"Label3", "Choose this for system that can only support up to 256 color."},
    };
    auto *frame = chooser->findChild<QGroupBox *>();
    ASSERT_NE(frame, nullptr);
    int previousTop = -1;
    for (const auto &[name, text] : texts) {
        SCOPED_TRACE(name);
        auto *widget = frame->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
        ASSERT_NE(widget, nullptr);
        auto *label = qobject_cast<QLabel *>(widget);
        EXPECT_EQ(label ? label->text() : qobject_cast<QPushButton *>(widget)->text(), text);
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 9.75);
        EXPECT_GE(widget->y(), previousTop);
        previousTop = widget->y();
    }
    EXPECT_EQ(labelsCutOff(chooser), QStringList());
    EXPECT_TRUE(chooser->rect().contains(frame->geometry()));
}

class ColorShemeChoiceTest : public ColorShemeTest, public testing::WithParamInterface<int>
{ };

TEST_P(ColorShemeChoiceTest, ButtonChoosesItsIndexPlusOneAndCloses)
{
    const int index = GetParam();
    QSignalSpy chosen(chooser.data(), &ColorSheme::chosen);
    QSignalSpy dismissed(chooser.data(), &ColorSheme::dismissed);

    QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Command1_%1").arg(index)),
                      Qt::LeftButton);

    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.front().front().value<DisplayProfile>(), index == 0 ? HighColour : Colour256);
    EXPECT_TRUE(waitUntil([&] { return chooser.isNull(); }));
    EXPECT_EQ(dismissed.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, ColorShemeChoiceTest, testing::Values(0, 1));

TEST_F(ColorShemeTest, ClosedByTheWindowSystemIsADismissal)
{
    QSignalSpy chosen(chooser.data(), &ColorSheme::chosen);
    QSignalSpy dismissed(chooser.data(), &ColorSheme::dismissed);

    chooser->windowHandle()->close();

    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_TRUE(waitUntil([&] { return chooser.isNull(); }));
}

} // namespace
