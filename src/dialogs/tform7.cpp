#include "tform7.h"

#include "dialogs/helptext.h"

#include <QApplication>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace lintaro {

TForm7::TForm7(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Справка"));
    setModal(false);
    setFixedSize(437, 342);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 437, 342);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(8, 16, 417, 289);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette tip = Memo1->palette();
    tip.setColor(QPalette::Base, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, tip.color(QPalette::ToolTipText));
    Memo1->setPalette(tip);
    Memo1->setPlainText(helpText());

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(192, 312, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
}

void TForm7::showHelp()
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *screen = QApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void TForm7::placeFrom(const QByteArray &geometry)
{
    // Its size stays fixed; only the place is taken.
    if (restoreGeometry(geometry))
        m_placed = true;
}

void TForm7::Button1Click()
{
    setResult(QDialog::Accepted);
    hide();
}

} // namespace lintaro
