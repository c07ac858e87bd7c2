#include "tform6.h"

#include "common/interaction.h"
#include "dialogs/centring.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace lintaro {

namespace {

QLabel *centredLabel(const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TForm6::TForm6(Interaction &interaction, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_interaction(interaction)
{
    setFixedSize(281, 106);
    // The labels are 13 pixels high; a small font keeps their text whole.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    QPalette panel = palette();
    panel.setColor(QPalette::Window, panel.color(QPalette::ToolTipBase));
    panel.setColor(QPalette::WindowText, panel.color(QPalette::ToolTipText));
    setPalette(panel);
    setAutoFillBackground(true);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 281, 106);
    Bevel2 = new QFrame(this);
    Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken); // an etched frame
    Bevel2->setGeometry(2, 2, 277, 102);

    Label2 = centredLabel(QString(), {8, 4, 265, 13}, this);
    Label3 = centredLabel(QStringLiteral("Конвертор эфирных листов в файлы PSQ"), {8, 19, 265, 13}, this);
    Label5 = centredLabel(QStringLiteral("EMail: ") + contactAddress(), {72, 34, 137, 13}, this);
    QFont link = Label5->font();
    link.setUnderline(true);
    Label5->setFont(link);
    QPalette linkColour = Label5->palette();
    linkColour.setColor(QPalette::WindowText, Qt::blue);
    Label5->setPalette(linkColour);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->installEventFilter(this);
    Label4 = centredLabel(QStringLiteral("Velmar Software, техническая поддержка"), {8, 49, 265, 13}, this);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(104, 72, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
}

void TForm6::prepareOver(const QWidget &mainWindow)
{
    Label2->setText(mainWindow.windowTitle());
    move(centredOver(mainWindow.frameGeometry(), frameGeometry().size()));
}

int TForm6::showOver(const QWidget &mainWindow)
{
    prepareOver(mainWindow);
    return exec();
}

void TForm6::Button1Click()
{
    accept();
}

void TForm6::Label5Click()
{
    m_interaction.openExternal(QStringLiteral("mailto:") + contactAddress());
}

bool TForm6::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label5Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace lintaro
