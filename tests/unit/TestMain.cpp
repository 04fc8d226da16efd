#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// Widget tests need an application object; QT_QPA_PLATFORM=offscreen keeps them off any desktop.
// A configuration directory of their own keeps the user's files (their autostart entry among
// them) out of what the tests see and write.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
