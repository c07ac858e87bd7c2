#include "modaldriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace lintaro::test {

namespace {

// Forgets the window an act got once it hides: a dialog shown again later is
// a new showing for the next act.
class HideWatch : public QObject
{
public:
    HideWatch(QPointer<QWidget> &current)
        : m_current(current)
    { }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched == m_current.data()) {
            m_current->removeEventFilter(this);
            m_current = nullptr;
        }
        return false;
    }

private:
    QPointer<QWidget> &m_current;
};

} // namespace

void rejectModal(QWidget *modal)
{
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

void enterFileName(QWidget *fileDialog, const QString &name)
{
    auto *edit = fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr) << "no name field in " << fileDialog->windowTitle().toStdString();
    // Wine's windows platform fills the dialog's fields only once it is
    // active; a typed name must come after that.
    fileDialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(fileDialog));
    edit->setFocus();
    edit->selectAll();
    // QTest types Latin-1 only; a folder of Russian clips is typed as text.
    for (const QChar ch : name) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
    }
    QTest::keyClick(edit, Qt::Key_Return);
    // The dialog weighs a typed name through queued events; on a slow build
    // the first Return can come before it has, so press again while it is
    // still the dialog on top (never into a box it opened over itself).
    for (int tries = 0; tries < 20 && fileDialog->isVisible()
         && QApplication::activeModalWidget() == fileDialog;
         ++tries) {
        QTest::qWait(50);
        QTest::keyClick(edit, Qt::Key_Return);
    }
}

ModalDriver::ModalDriver(QList<Act> acts)
    : m_acts(std::move(acts))
    , m_hideWatch(new HideWatch(m_current))
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    m_timer.start();
}

ModalDriver::~ModalDriver()
{
    if (m_current)
        m_current->removeEventFilter(m_hideWatch);
    delete m_hideWatch;
}

void ModalDriver::tick()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (modal == m_current) {
        if (m_since.elapsed() < kPatienceMs)
            return;
        ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
        rejectModal(modal);
        return;
    }
    if (m_next == m_acts.size()) {
        ADD_FAILURE() << "an unexpected modal window: " << modal->windowTitle().toStdString();
        rejectModal(modal);
        return;
    }
    if (m_current)
        m_current->removeEventFilter(m_hideWatch);
    m_current = modal;
    modal->installEventFilter(m_hideWatch);
    m_since.start();
    m_acts[m_next++](modal);
}

} // namespace lintaro::test
