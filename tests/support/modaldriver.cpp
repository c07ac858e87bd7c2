#include "modaldriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace lintaro::test {

ModalDriver::ModalDriver(std::function<void(QWidget *modal)> act)
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this, act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (!m_acted) {
            m_acted = true;
            act(modal);
            return;
        }
        ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
        modal->close();
    });
    m_timer.start();
}

} // namespace lintaro::test
