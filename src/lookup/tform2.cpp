#include "tform2.h"

#include "common/interaction.h"
#include "lookup/dialogplacement.h"
#include "lookup/entrycheck.h"
#include "lookup/gridcelldelegate.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QPushButton>
#include <QTableView>

namespace lintaro {

TForm2::TForm2(Interaction &interaction, QWidget *parent)
    : QDialog(parent), m_interaction(interaction), m_report(interaction)
{
    setWindowTitle(QStringLiteral("Директории для поиска"));
    dialogplacement::setFrame(this);
    resize(457, 360);

    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(&m_folders);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(14);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->setShowGrid(true);
    // Tab goes on to the buttons; inside a cell editor it still moves to the next cell.
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::AnyKeyPressed);
    StringGrid1->setItemDelegate(new GridCellDelegate(StringGrid1, interaction,
                                                      [](const QModelIndex &, const QString &text) {
                                                          return SearchFolderList::refusal(text);
                                                      }));

    Button4 = new QPushButton(QStringLiteral("&Удалить"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button1 = new QPushButton(QStringLiteral("У&казать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("&ОК"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    // No default button: Return in the grid must not reach "Удалить".
    for (QPushButton *button : {Button4, Button1, Button2}) {
        button->resize(75, 25);
        button->setAutoDefault(false);
    }
    setTabOrder(StringGrid1, Button4);
    setTabOrder(Button4, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, [this] { m_report.guard([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(Button4, &QPushButton::clicked, this, [this] { m_report.guard([this] { Button4Click(); }); });

    // A file that cannot be read is reported; the list starts empty and the program goes on.
    m_report.guard([this] { FormCreate(); });
    FormResize();
}

void TForm2::FormCreate()
{
    m_folders.load();
}

void TForm2::FormHide()
{
    GridCellDelegate::commitOpenEditor(StringGrid1);
    // A failed save is reported and keeps the rows; the window closes all the same.
    m_report.guard([this] {
        const std::optional<listmerge::Counts> outside = m_folders.save();
        if (outside && outside->any())
            m_interaction.message(
                windowTitle(), listmerge::outsideChangesText(*outside, false), MessageIcon::Information);
    });
}

void TForm2::FormResize()
{
    const int width = this->width();
    const int height = this->height();
    StringGrid1->setGeometry(0, 0, qMax(width - 2, 0), qMax(height - Button2->height() - 2, 0));
    StringGrid1->setColumnWidth(0, qMax(StringGrid1->viewport()->width() - 1, 0));
    const int top = StringGrid1->geometry().bottom() + 2;
    Button4->move(8, top);
    Button1->move(88, top);
    Button2->move(width - Button2->width() - 2, top);
}

void TForm2::Button1Click()
{
    const std::optional<QString> folder =
        m_interaction.chooseFolder(QStringLiteral("Выберите директорию для поиска авишек"));
    if (!folder)
        return;
    if (const QString why = SearchFolderList::refusal(*folder); !why.isEmpty()) {
        m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
        return;
    }
    m_folders.appendFolder(*folder);
}

void TForm2::Button2Click()
{
    accept();
}

void TForm2::Button4Click()
{
    const MessageAnswer answer = m_interaction.message(QStringLiteral("Удаление записи"),
                                                       QStringLiteral("Действительно удалить?"),
                                                       MessageIcon::Question, MessageButtons::YesNoCancel);
    // Back in the grid, so that the next Enter does not ask to delete again.
    StringGrid1->setFocus();
    if (answer != MessageAnswer::Yes)
        return;
    GridCellDelegate::commitOpenEditor(StringGrid1);
    const QModelIndex current = StringGrid1->currentIndex();
    m_folders.removeFolder(current.isValid() ? current.row() : 0);
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        dialogplacement::placeCentred(this, 457, 360);
    }
    FormResize();
    dialogplacement::focusFirstControl(this);
    // Once per opening, off this thread: a disconnected share can block for seconds.
    m_folders.checkPresence();
}

void TForm2::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Minimising hides the window too, but that is no close.
    if (!event->spontaneous())
        FormHide();
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

} // namespace lintaro
