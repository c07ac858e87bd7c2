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
    // "Обновить": the check again; Esc while it runs stops it.
    std::function<void()> refreshRequested;
    std::function<void()> stopRequested;

    // While the check runs, "Обновить" and "Сохранить..." wait and Esc stops it.
    void setRunning(bool running);
    // A stored size is kept; otherwise the first report widens the window to its columns.
    void keepSize() { m_fitted = true; }

    QTableWidget *rowTable() const { return m_rows; }
    QTableWidget *groupTable() const { return m_groups; }
    QPushButton *refreshButton() const { return m_refresh; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Interaction &m_interaction;
    DeepCheckReport m_report;
    QTableWidget *m_rows = nullptr;
    QLabel *m_groupCaption = nullptr;
    QTableWidget *m_groups = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_refresh = nullptr;
    bool m_running = false;
    bool m_fitted = false;
};

} // namespace lintaro
