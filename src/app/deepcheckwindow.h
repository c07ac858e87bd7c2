#pragma once

#include "sequence/deepcheck.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace lintaro {

class Interaction;

// The deep check's report: one line per schedule row with its clip, status and
// length, then the files the conversion would write. It stays open beside the
// main window; a double-click on a row asks the main window to show that row.
class DeepCheckWindow : public QDialog
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Подробная проверка");
    static inline const QString kSaveFilter = QStringLiteral("Файлы Excel (*.csv)|*.csv");

    DeepCheckWindow(Interaction &interaction, QWidget *parent = nullptr);

    void showReport(const DeepCheckReport &report);
    const DeepCheckReport &report() const { return m_report; }

    // "Сохранить...": the table as a ';'-separated Windows-1251 file.
    void saveClick();

    // Called with the schedule row (1 for the file's first line) of a double-clicked line.
    std::function<void(int row)> rowActivated;

    QTableWidget *rowTable() const { return m_rows; }
    QTableWidget *groupTable() const { return m_groups; }

private:
    Interaction &m_interaction;
    DeepCheckReport m_report;
    QTableWidget *m_rows = nullptr;
    QLabel *m_groupCaption = nullptr;
    QTableWidget *m_groups = nullptr;
    QPushButton *m_save = nullptr;
};

} // namespace lintaro
