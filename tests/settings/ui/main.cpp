#include "fonts.h"

#include <QApplication>

#include <gtest/gtest.h>

// The windows need a QApplication, made before the first test. Without a platform named in the
// environment (test discovery runs the program that way) the tests run headless.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
