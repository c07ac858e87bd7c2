#pragma once

#include <QString>
#include <QWidget>

namespace lintaro::test {

// A private X server for the tests that look at what the window system shows.
// Test programs named test_x11_* start it before their QApplication and run on
// it; where none can start they run offscreen and their tests skip.
class XServer
{
public:
    // Starts Xvfb on a free display and points DISPLAY at it; false, with
    // problem() saying why, when it cannot.
    bool start();
    ~XServer();

    // Empty while the tests run on the private X server.
    static QString problem();

    // The title the window system shows for a window (_NET_WM_NAME, read with
    // xprop), or an empty text with a test failure when it cannot be read.
    static QString shownTitle(QWidget *window);

private:
    long long m_pid = -1;
};

} // namespace lintaro::test
