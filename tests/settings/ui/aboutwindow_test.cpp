#include "aboutwindow.h"
#include "configdialog.h"
#include "fakechannels.h"
#include "formchecks.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace FormChecks;

namespace {

class AboutWindowTest : public testing::Test
{
protected:
    void TearDown() override { closeAllWindows(); }

    AboutWindow *open()
    {
        auto *about = new AboutWindow(&channels, &channels);
        about->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(about));
        return about;
    }

    FakeChannels channels;
};

TEST_F(AboutWindowTest, WindowIsAFixedCentredToolWindow)
{
    AboutWindow *about = open();
    EXPECT_EQ(about->objectName(), "About");
    EXPECT_EQ(about->windowTitle(), "About & Configurations");
    EXPECT_EQ(about->size(), QSize(335, 190));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    EXPECT_FALSE(about->windowIcon().isNull());
    EXPECT_TRUE(isCentred(about));
    EXPECT_EQ(about->parentWidget(), nullptr);
    const Qt::WindowFlags flags = about->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(AboutWindowTest, ConfigurationsOpensTheDialogAndClosesTheWindow)
{
    channels.captions[6] = "200";
    QPointer<AboutWindow> about = open();
    QSignalSpy closed(about.data(), &AboutWindow::closed);

    QTest::mouseClick(about->findChild<QPushButton *>("Command1"), Qt::LeftButton);

    EXPECT_TRUE(waitUntil([&] { return about.isNull(); }));
    EXPECT_EQ(closed.count(), 1);
    const QList<ConfigDialog *> dialogs = openWindows<ConfigDialog>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs.front()->parentWidget(), nullptr);
    EXPECT_EQ(dialogs.front()->findChild<QLineEdit *>("Text1_6")->text(), "200");

    // Asked again, the open dialog comes to the front; no second one opens.
    QTest::mouseClick(open()->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    EXPECT_EQ(openWindows<ConfigDialog>(), dialogs);
}

TEST_F(AboutWindowTest, CloseBoxClosesAndOpensNothing)
{
    QPointer<AboutWindow> about = open();
    QSignalSpy closed(about.data(), &AboutWindow::closed);

    about->windowHandle()->close();

    EXPECT_TRUE(waitUntil([&] { return about.isNull(); }));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(openWindows<QWidget>().isEmpty());
}

TEST(AboutWindowLifetime, GoesAwayWithTheTesterWindowQuietly)
{
    auto channels = std::make_unique<FakeChannels>();
    QPointer<AboutWindow> about = new AboutWindow(channels.get(), channels.get());
    about->show();
    QSignalSpy closed(about.data(), &AboutWindow::closed);
    channels.reset();
    EXPECT_TRUE(waitUntil([&] { return about.isNull(); }));
    EXPECT_EQ(closed.count(), 0);
}

} // namespace
