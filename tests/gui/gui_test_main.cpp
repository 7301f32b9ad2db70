// The main of the desktop programs' tests: widgets need a QApplication, and the tests need no
// display, so the offscreen platform is chosen before the application starts (also when the
// binary is run by hand, outside CTest).

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
