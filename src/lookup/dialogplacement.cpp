#include "dialogplacement.h"

#include <QDialog>
#include <QScreen>

namespace lintaro::dialogplacement {

void setFrame(QDialog *dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void placeCentred(QDialog *dialog, int outerWidth, int outerHeight)
{
    const QSize frame = dialog->frameGeometry().size() - dialog->geometry().size();
    dialog->resize(qMax(outerWidth - frame.width(), 100), qMax(outerHeight - frame.height(), 100));
    if (QScreen *screen = dialog->screen()) {
        const QRect area = screen->availableGeometry();
        dialog->move(area.center() - QPoint(outerWidth / 2, outerHeight / 2));
    }
}

void focusFirstControl(QWidget *window)
{
    for (QWidget *widget = window->nextInFocusChain(); widget && widget != window;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->window() == window
            && widget->isVisibleTo(window)) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

} // namespace lintaro::dialogplacement
