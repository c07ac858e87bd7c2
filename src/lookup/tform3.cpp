#include "tform3.h"

#include "common/interaction.h"
#include "lookup/cliptypes.h"
#include "lookup/dialogplacement.h"
#include "lookup/entrycheck.h"
#include "lookup/gridcelldelegate.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QPushButton>
#include <QTableView>

namespace lintaro {

TForm3::TForm3(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QDialog(parent), m_interaction(interaction), m_report(interaction), m_settings(settings),
      m_substitutions(settings)
{
    setWindowTitle(QStringLiteral("Известные подстановки"));
    dialogplacement::setFrame(this);
    resize(457, 360);

    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(&m_substitutions);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(14);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setStretchLastSection(false);
    StringGrid1->setColumnWidth(SubstitutionModel::NameColumn, 210);
    StringGrid1->setColumnWidth(SubstitutionModel::PathColumn, 210);
    StringGrid1->setShowGrid(true);
    // One line per cell, so a long path is shortened in its middle, not wrapped.
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideMiddle);
    // Tab goes on to the buttons; inside a cell editor it still moves to the next cell.
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::AnyKeyPressed);
    StringGrid1->setItemDelegate(new GridCellDelegate(StringGrid1, interaction,
                                                      [](const QModelIndex &index, const QString &text) {
                                                          return SubstitutionModel::refusal(index.column(), text);
                                                      }));

    Button3 = new QPushButton(QStringLiteral("&Добавить"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button4 = new QPushButton(QStringLiteral("&Удалить"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button1 = new QPushButton(QStringLiteral("У&казать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("&ОК"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setDefault(true);
    for (QPushButton *button : {Button3, Button4, Button1, Button2})
        button->resize(75, 25);
    setTabOrder(StringGrid1, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, [this] { m_report.guard([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
    connect(Button4, &QPushButton::clicked, this, [this] { m_report.guard([this] { Button4Click(); }); });

    // A file that cannot be read is reported; the table starts empty and the program goes on.
    m_report.guard([this] { FormCreate(); });
    FormResize();
}

void TForm3::FormCreate()
{
    m_substitutions.load();
}

void TForm3::FormClose()
{
    GridCellDelegate::commitOpenEditor(StringGrid1);
    // Guarded on its own: a refused settings write must not keep the table from its save.
    m_report.guard([this] { m_substitutions.rememberPickedFile(); });
}

void TForm3::FormHide()
{
    GridCellDelegate::commitOpenEditor(StringGrid1);
    // A failed save is reported and keeps the rows; the window closes all the same.
    m_report.guard([this] {
        const std::optional<listmerge::Counts> outside = m_substitutions.save();
        if (outside && outside->any())
            m_interaction.message(
                windowTitle(), listmerge::outsideChangesText(*outside, true), MessageIcon::Information);
    });
}

void TForm3::FormResize()
{
    const int width = this->width();
    const int height = this->height();
    StringGrid1->setGeometry(0, 0, qMax(width - 2, 0), qMax(height - Button2->height() - 2, 0));
    const int nameWidth = StringGrid1->columnWidth(SubstitutionModel::NameColumn);
    StringGrid1->setColumnWidth(SubstitutionModel::PathColumn,
                                qMax(StringGrid1->viewport()->width() - nameWidth - 1, 0));
    const int top = StringGrid1->geometry().bottom() + 2;
    Button3->move(8, top);
    Button4->move(88, top);
    Button1->move(168, top);
    Button2->move(width - Button2->width() - 2, top);
}

int TForm3::currentRow() const
{
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() ? current.row() : 0;
}

void TForm3::Button1Click()
{
    GridCellDelegate::commitOpenEditor(StringGrid1);
    const int row = currentRow();
    FilePicker &picker = m_substitutions.picker();
    QStringList types = cliptypes::defaults();
    m_report.guard([&] { types = cliptypes::read(m_settings); });
    const std::optional<QString> chosen =
        picker.pick(m_interaction, FilePicker::titleFor(m_substitutions.table().row(row).name), types);
    if (!chosen)
        return;
    if (const QString why = SubstitutionTable::pathRefusal(*chosen); !why.isEmpty()) {
        m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
        return;
    }
    m_substitutions.setPath(row, *chosen);
    picker.setFileName(*chosen);
}

void TForm3::Button2Click()
{
    accept();
}

void TForm3::Button3Click()
{
    m_substitutions.appendRow();
}

void TForm3::Button4Click()
{
    const MessageAnswer answer = m_interaction.message(QStringLiteral("Удаление записи"),
                                                       QStringLiteral("Действительно удалить?"),
                                                       MessageIcon::Question, MessageButtons::YesNoCancel);
    // Back in the grid, so that the next Enter does not ask to delete again.
    StringGrid1->setFocus();
    if (answer != MessageAnswer::Yes)
        return;
    GridCellDelegate::commitOpenEditor(StringGrid1);
    m_substitutions.removePair(currentRow());
}

void TForm3::done(int result)
{
    // Every close, OK or the close box, remembers the picker's file first.
    if (isVisible())
        FormClose();
    QDialog::done(result);
}

void TForm3::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        dialogplacement::placeCentred(this, 457, 360);
    }
    FormResize();
    dialogplacement::focusFirstControl(this);
    // Once per opening, off this thread: a disconnected share can block for seconds.
    m_substitutions.checkPresence();
}

void TForm3::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Minimising hides the window too, but that is no close.
    if (!event->spontaneous())
        FormHide();
}

void TForm3::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

} // namespace lintaro
