// The main of the GoogleTest executables that need Qt: one application object
// (widgets, so views and tool windows can be made) serves every test.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
