#include "colorsheme.h"
#include "formchecks.h"

#include <QGroupBox>
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

    auto *frame = chooser->findChild<QGroupBox *>();
    ASSERT_NE(frame, nullptr);
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
