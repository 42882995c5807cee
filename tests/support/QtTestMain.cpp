// GoogleTest inside a QApplication, for the widget and application tests. They run on Qt's
// offscreen platform unless told otherwise, also when CTest lists their cases.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
