#pragma once

// The entry point of a window test. testmain.cpp is built once into the support
// library, where LINTARO_TEST_GUI is not defined, so it starts a QCoreApplication
// and no widget could be made. Include this header in exactly one file of a
// test_gui_* executable: its main is then taken instead of the library's.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    // As in testmain.cpp: a private settings folder for every test process.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    qputenv("HOME", configHome.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Lintaro"));
    return RUN_ALL_TESTS();
}
