#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;

namespace lintaro::test {

// Drives the real modal windows the program shows, from inside their own event
// loops: each modal window that shows while this lives is handed to the next
// act, which should close it. A window its act left open is rejected after
// kPatienceMs, and a window no act is left for at once, each failing the test,
// so no test ever waits.
class ModalDriver
{
public:
    using Act = std::function<void(QWidget *modal)>;
    static constexpr int kPatienceMs = 3000;

    explicit ModalDriver(Act act)
        : ModalDriver(QList<Act> { std::move(act) })
    { }
    explicit ModalDriver(QList<Act> acts);
    ~ModalDriver();

    // Every act has had its window.
    bool acted() const { return m_next == m_acts.size(); }

private:
    void tick();

    QList<Act> m_acts;
    qsizetype m_next = 0;
    QPointer<QWidget> m_current; // the window the last act got, until it hides
    QElapsedTimer m_since;
    QTimer m_timer;
    QObject *m_hideWatch = nullptr;
};

// Closes a modal window the way its Esc key or close box would.
void rejectModal(QWidget *modal);

// Types a name into a file dialog's name field as the operator does, the
// field focused and its text replaced, and presses Return. What a field that
// has no focus shows is not what the dialog answers with.
void enterFileName(QWidget *fileDialog, const QString &name);

} // namespace lintaro::test
