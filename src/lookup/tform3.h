#pragma once

#include "common/errorreport.h"
#include "lookup/substitutionmodel.h"

#include <QDialog>

class QPushButton;
class QTableView;

namespace lintaro {

class Interaction;
class SettingsStore;

// The substitution dialog. Creating it loads LastSubst and Subst.cfg; every
// close stores the picker's file as LastSubst, then saves the table and loads
// it again. The substitution lookup reads and extends substitutions(), whose
// picker is the one "Указать" opens.
class TForm3 : public QDialog
{
    Q_OBJECT

public:
    TForm3(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);

    SubstitutionModel &substitutions() { return m_substitutions; }
    const SubstitutionModel &substitutions() const { return m_substitutions; }

    QTableView *StringGrid1;
    QPushButton *Button1; // "Указать"
    QPushButton *Button2; // "ОК"
    QPushButton *Button3; // "Добавить"
    QPushButton *Button4; // "Удалить"

    void FormCreate();
    void FormClose();
    void FormHide();
    void FormResize();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int currentRow() const;

    Interaction &m_interaction;
    ErrorReport m_report;
    SettingsStore &m_settings;
    SubstitutionModel m_substitutions;
    bool m_placed = false;
};

} // namespace lintaro
