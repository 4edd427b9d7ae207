#include <gtest/gtest.h>

#include <QApplication>

// The one main of every test program. The program always runs with a Qt application object; so
// do the tests (widgets, the serial port's notifiers, child processes, the program's directory).
// Widgets are drawn offscreen unless a platform is chosen, so that listing the tests needs no
// display.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
