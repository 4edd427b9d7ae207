#include <gtest/gtest.h>

#include <QtGlobal>

#ifdef CNC_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Tests that need a Qt application object (widgets, processes, the program's directory).
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
