// Icons and pixmaps need a GUI application object; one serves every test.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
