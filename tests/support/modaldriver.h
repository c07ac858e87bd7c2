#pragma once

#include <QTimer>

#include <functional>

class QWidget;

namespace lintaro::test {

// Drives the real modal windows the program shows, from inside their own event
// loops: the first modal window that shows while this lives is handed to act,
// which must close it; any other modal window (one act failed to close, or a
// box nobody expected) fails the test and is closed, so no test ever waits.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget *modal)> act);

    bool acted() const { return m_acted; }

private:
    QTimer m_timer;
    bool m_acted = false;
};

} // namespace lintaro::test
