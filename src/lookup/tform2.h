#pragma once

#include "common/errorreport.h"
#include "lookup/searchfoldermodel.h"

#include <QDialog>

class QPushButton;
class QTableView;

namespace lintaro {

class Interaction;

// The search folder dialog. Creating it loads Folders.cfg; every close saves
// the list and loads it again. The bracket search reads folders().
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(Interaction &interaction, QWidget *parent = nullptr);

    SearchFolderModel &folders() { return m_folders; }
    const SearchFolderModel &folders() const { return m_folders; }

    QTableView *StringGrid1;
    QPushButton *Button1; // "Указать"
    QPushButton *Button2; // "ОК"
    QPushButton *Button4; // "Удалить"

    void FormCreate();
    void FormHide();
    void FormResize();
    void Button1Click();
    void Button2Click();
    void Button4Click();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Interaction &m_interaction;
    ErrorReport m_report;
    SearchFolderModel m_folders;
    bool m_placed = false;
};

} // namespace lintaro
