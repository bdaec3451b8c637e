#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Report layout needs the font database, which only a GUI application has; no window is shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
