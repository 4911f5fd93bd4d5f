// The smoke tests' entry point: one QApplication for all tests, offscreen unless the
// environment asks for a real display, in a home of the process's own.
#include <gtest/gtest.h>

#include <QApplication>

#include "posix/private_home.h"
#include "ui/qt/japanese_ui.h"

int main(int argc, char** argv) {
    // Before the application, which reads the runtime folder and the font caches.
    vexal::testing::PrivateHome home;
    home.SetUp();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vexal::PreferJapaneseFont();
    vexal::LoadJapaneseQtTexts();
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    home.TearDown();
    return failed;
}
