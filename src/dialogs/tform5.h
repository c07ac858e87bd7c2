#pragma once

#include "common/errorreport.h"
#include "dialogs/audioplacement.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lintaro {

class DriveComboBox;
class Interaction;
class SettingsStore;

// The audio placement dialog. Its controls are the one copy of the setting:
// the conversion asks audioLocation() for every clip.
class TForm5 : public QDialog
{
    Q_OBJECT

public:
    TForm5(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);

    // The location for the media probe, read from the controls at this moment.
    QString audioLocation() const;
    AudioPlacement placement() const;

    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QGroupBox *GroupBox1;
    QRadioButton *RadioButton3;
    QRadioButton *RadioButton4;
    DriveComboBox *DriveComboBox1;
    QPushButton *Button1;

    // Loads the stored choice over the controls; runs on every showing.
    void FormShow();
    // The enabling rule, after every click on a choice.
    void RadioButton1Click();
    // Stores the choice and closes; a refused write leaves the dialog open.
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setPlacement(const AudioPlacement &placement);

    SettingsStore &m_settings;
    ErrorReport m_report;
    bool m_placed = false;
};

} // namespace lintaro
