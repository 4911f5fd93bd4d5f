// The smoke tests' entry point: one QApplication for all tests, offscreen unless the
// environment asks for a real display.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/qt/japanese_ui.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vexal::PreferJapaneseFont();
    vexal::LoadJapaneseQtTexts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
