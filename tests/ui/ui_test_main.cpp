// The window tests' entry: one QApplication on the offscreen platform for every test, also when
// ctest lists the tests (the minimal platform would draw every glyph as a box), in a home folder
// of the run's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "ui_test_util.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    uitest::FreshHome home;
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
