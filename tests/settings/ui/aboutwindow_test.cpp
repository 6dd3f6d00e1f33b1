#include "aboutwindow.h"
#include "configdialog.h"
#include "fakechannels.h"
#include "formchecks.h"

#include <QLabel>
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

TEST_F(AboutWindowTest, FormHoldsEveryControlInPlace)
{
    const std::tuple<const char *, QRect, QString> controls[] = {
            {"Image1", twips(1597, 360, 1770, 510), ""},
            {"Label4", twips(960, 1080, 3135, 255), "Brisvel "},
            {"Label3", twips(960, 1440, 3135, 255), "Version 2.1.0 07th July 2004"},
            {"Line1_0", QRect(16, 114, 304, 2), ""},
            {"Line1_1", QRect(16, 114, 309, 1), ""},
            {"Command1", twips(1650, 2325, 1740, 315), "Configurations"},
    };
    AboutWindow *about = open();
    QStringList focusable;
    for (const auto &[name, rect, text] : controls) {
        SCOPED_TRACE(name);
        auto *widget = about->findChild<QWidget *>(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), rect);
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 9.75);
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            EXPECT_EQ(label->text(), text);
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            EXPECT_EQ(button->text(), text);
        }
        if (widget->focusPolicy() != Qt::NoFocus)
            focusable.append(name);
    }
    EXPECT_EQ(focusable, QStringList({"Command1"}));
    EXPECT_EQ(about->findChild<QLabel *>("Image1")->pixmap().size(), QSize(118, 34));
    EXPECT_EQ(labelsCutOff(about), QStringList());

    // The etched rule: grey over white, the grey running on alone at the right end.
    const QImage image = about->grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 114).name(), "#808080");
    EXPECT_EQ(image.pixelColor(100, 115).name(), "#ffffff");
    EXPECT_EQ(image.pixelColor(322, 114).name(), "#808080");
    EXPECT_NE(image.pixelColor(322, 115).name(), "#ffffff");
}

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
