#pragma once

#include "common/errorreport.h"

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace lintaro {

class Interaction;
class SettingsStore;

// The clip types window: which file types the bracket search looks for, and
// in which order. It shows the stored list each time it opens and stores the
// list whenever it closes (OK, Esc, the close box).
class ClipTypesDialog : public QDialog
{
    Q_OBJECT

public:
    ClipTypesDialog(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);

    // The ticked types, top to bottom.
    QStringList chosenTypes() const;
    // Ticks these types and shows them first, in this order; the rest follow unticked.
    void showTypes(const QStringList &types);

    QListWidget *typeList() const { return m_list; }
    QPushButton *upButton() const { return m_up; }
    QPushButton *downButton() const { return m_down; }
    QPushButton *okButton() const { return m_ok; }

    static inline const QString kNothingChosen = QStringLiteral(
        "Отметьте хотя бы один тип файлов: без него код в скобках не найдет ни одного ролика.");

    // Stores the list and closes; nothing ticked or a refused write leaves the window open.
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void moveCurrent(int step);

    Interaction &m_interaction;
    SettingsStore &m_settings;
    ErrorReport m_report;
    QListWidget *m_list = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace lintaro
