#include "tform5.h"

#include "common/failure.h"
#include "dialogs/drivecombobox.h"
#include "lookup/dialogplacement.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace lintaro {

namespace {

const QString kAudio = QStringLiteral("Audio");

// An exclusive radio button refuses to be unchecked directly, and a stored
// value may leave both of a pair unchosen. Choosing one drops the other.
void setChosen(QRadioButton *button, bool chosen)
{
    if (button->isChecked() == chosen)
        return;
    if (chosen) {
        button->setChecked(true);
        return;
    }
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

} // namespace

TForm5::TForm5(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings), m_report(interaction)
{
    setWindowTitle(QStringLiteral("Настройка расположения звука"));
    setFixedSize(320, 120);
    // The layout is in pixels; a small font keeps the captions whole.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);

    RadioButton1 = new QRadioButton(QStringLiteral("Аудио вместе с видео находится в одном AVI файле"), this);
    RadioButton1->setGeometry(16, 8, 302, 17); // a little wider than designed, for wider fonts
    RadioButton2 = new QRadioButton(QStringLiteral("Аудио находится в отдельном WAV файле"), this);
    RadioButton2->setGeometry(16, 24, 302, 17);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(32, 40, 273, 43);
    RadioButton3 = new QRadioButton(QStringLiteral("Рядом с видео"), GroupBox1);
    RadioButton3->setGeometry(8, 8, 113, 17);
    RadioButton4 = new QRadioButton(QStringLiteral("На диске"), GroupBox1);
    RadioButton4->setGeometry(8, 24, 113, 17);
    DriveComboBox1 = new DriveComboBox(GroupBox1);
    // No taller than 21 pixels, so that it stays inside the 43-pixel group box.
    DriveComboBox1->setGeometry(120, 22, 145, 21);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(232, 88, 75, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);

    for (QRadioButton *choice : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        connect(choice, &QRadioButton::clicked, this, &TForm5::RadioButton1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

    // The placement the operator stored is in effect from the first conversion
    // after start-up, not only once the dialog has been opened. A stored value
    // that cannot be read leaves the defaults, silently: the dialog's own
    // showing reports it.
    AudioPlacement placement = AudioPlacement::defaults(QDir::currentPath());
    try {
        AudioPlacement stored = placement;
        if (stored.applyStored(m_settings.read(QStringLiteral("Audio"))))
            placement = stored;
    } catch (const Failure &) {
    }
    setPlacement(placement);
    RadioButton1Click();
}

AudioPlacement TForm5::placement() const
{
    AudioPlacement placement;
    placement.insideAvi = RadioButton1->isChecked();
    placement.separateWav = RadioButton2->isChecked();
    placement.nextToVideo = RadioButton3->isChecked();
    placement.onDrive = RadioButton4->isChecked();
    placement.drive = DriveComboBox1->drive();
    return placement;
}

QString TForm5::audioLocation() const
{
    return placement().location();
}

void TForm5::setPlacement(const AudioPlacement &placement)
{
    setChosen(RadioButton1, placement.insideAvi);
    setChosen(RadioButton2, placement.separateWav);
    setChosen(RadioButton3, placement.nextToVideo);
    setChosen(RadioButton4, placement.onDrive);
    if (!placement.drive.isNull())
        DriveComboBox1->setDrive(placement.drive);
}

void TForm5::FormShow()
{
    m_report.guard([this] {
        const QString stored = m_settings.read(kAudio);
        if (!stored.isEmpty()) {
            AudioPlacement loaded = placement();
            const bool complete = loaded.applyStored(stored);
            setPlacement(loaded);
            if (!complete)
                throw Failure(rangeCheckError());
        }
        RadioButton1Click();
    });
}

void TForm5::RadioButton1Click()
{
    const bool separate = RadioButton2->isChecked();
    RadioButton3->setEnabled(separate);
    RadioButton4->setEnabled(separate);
    const bool onDrive = RadioButton4->isEnabled() && RadioButton4->isChecked();
    DriveComboBox1->setEnabled(onDrive);

    const QPalette system = QApplication::palette();
    const QColor background = onDrive ? system.color(QPalette::Base) : system.color(QPalette::Button);
    QPalette palette = DriveComboBox1->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Button, background);
    }
    DriveComboBox1->setPalette(palette);
}

void TForm5::Button1Click()
{
    m_report.guard([this] {
        m_settings.write(kAudio, placement().toStored());
        accept();
    });
}

void TForm5::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *screen = QApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
    FormShow();
    dialogplacement::focusFirstControl(this);
}

} // namespace lintaro
