#pragma once

#include "common/errorreport.h"
#include "sequence/pathmap.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace lintaro {

class Interaction;
class SettingsStore;

// Edits the prefix pairs that turn clip paths here into paths on the editing
// station. The pairs are loaded each time the dialog is shown and stored as a
// whole when it closes, by OK, Esc or the close box.
class PathMapDialog : public QDialog
{
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Пути на монтажной станции");

    PathMapDialog(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);

    // The pairs as the table shows them; rows empty on both sides are left out.
    QList<PathMapping> pairs() const;
    void setPairs(const QList<PathMapping> &pairs);

    QTableWidget *table() const { return m_table; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *removeButton() const { return m_remove; }
    QPushButton *upButton() const { return m_up; }
    QPushButton *downButton() const { return m_down; }
    QPushButton *folderButton() const { return m_folder; }
    QPushButton *okButton() const { return m_ok; }

    // Checks every pair and stores them; an incomplete pair or a refused
    // write leaves the dialog open.
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void moveCurrent(int step);
    void chooseLocalFolder();

    Interaction &m_interaction;
    SettingsStore &m_settings;
    ErrorReport m_report;
    QTableWidget *m_table;
    QPushButton *m_add;
    QPushButton *m_remove;
    QPushButton *m_up;
    QPushButton *m_down;
    QPushButton *m_folder;
    QPushButton *m_ok;
};

} // namespace lintaro
