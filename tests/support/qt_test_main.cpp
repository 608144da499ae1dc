#include <QApplication>
#include <gtest/gtest.h>

// The widget tests share one application object for the whole run.
int main(int argc, char** argv) {
    // Listing the tests happens without the test's environment; it needs no display either.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
