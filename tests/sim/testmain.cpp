#include <QCoreApplication>

#include <gtest/gtest.h>

// The line, console and program tests need an event loop.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
