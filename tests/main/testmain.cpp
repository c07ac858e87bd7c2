#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#ifdef LINTARO_TEST_GUI
#include <QApplication>
#endif
#ifdef LINTARO_TEST_X11
#include "support/xserver.h"
#endif

#include <memory>

// Every test process gets its own settings folder, so no test reads or writes
// the operator's settings and no two runs see each other's values.
int main(int argc, char **argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    qputenv("HOME", configHome.path().toLocal8Bit());
#ifndef Q_OS_WIN
    // Windows tests keep Qt's own platform: under Wine a window shown on the
    // offscreen platform never returns to the event loop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif

#ifdef LINTARO_TEST_X11
    // On a private X server when one starts; offscreen otherwise, where the
    // tests skip. "xcb;offscreen" falls back when Qt cannot use the server.
    lintaro::test::XServer xServer;
    if (xServer.start())
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    ::testing::InitGoogleTest(&argc, argv);
#ifdef LINTARO_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("Lintaro"));
    return RUN_ALL_TESTS();
}
