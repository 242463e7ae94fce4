// The tests load the board's pictures and start the tools as processes; a
// GUI application object serves both.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
