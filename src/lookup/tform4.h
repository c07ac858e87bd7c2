#pragma once

#include <QDialog>

class QPushButton;
class QStringListModel;
class QTableView;

namespace lintaro {

// The unknown-files list: the Source cells a check run could not resolve, for
// the operator to read. It always shows at least one (blank) row.
class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);

    void clearEntries();
    void appendEntry(const QString &entry);
    // The entries, without the blank row an empty list shows.
    QStringList entries() const;

    void Button1Click(); // "Удалить"
    void Button2Click(); // "OK"
    void FormResize();

    QTableView *StringGrid1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showEntries();

    QStringList m_list;
    QStringListModel *m_entries = nullptr;
    bool m_placed = false;
};

} // namespace lintaro
