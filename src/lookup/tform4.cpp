#include "tform4.h"

#include "lookup/dialogplacement.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>

namespace lintaro {

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Список неизвестных программе файлов"));
    dialogplacement::setFrame(this);
    resize(427, 360);
    // The main window's font: the application's default is too tall for the
    // 14-pixel rows and cuts off the top of a letter such as "Ё".
    QFont listFont(QStringLiteral("MS Sans Serif"));
    listFont.setPixelSize(11);
    setFont(listFont);

    m_entries = new QStringListModel(QStringList{QString()}, this);
    StringGrid1 = new QTableView(this);
    StringGrid1->setModel(m_entries);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(14);
    StringGrid1->verticalHeader()->setDefaultSectionSize(14);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCurrentIndex(m_entries->index(0));

    Button1 = new QPushButton(QStringLiteral("Удалить"), this);
    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setAutoDefault(false);
    Button2->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    FormResize();
}

void TForm4::showEntries()
{
    // An empty list still shows one blank row.
    m_entries->setStringList(m_list.isEmpty() ? QStringList{QString()} : m_list);
}

void TForm4::clearEntries()
{
    m_list.clear();
    showEntries();
    StringGrid1->setCurrentIndex(m_entries->index(0));
}

void TForm4::appendEntry(const QString &entry)
{
    m_list.append(entry);
    showEntries();
    StringGrid1->setCurrentIndex(m_entries->index(0));
}

QStringList TForm4::entries() const
{
    return m_list;
}

void TForm4::Button1Click()
{
    const int selected = StringGrid1->currentIndex().isValid() ? StringGrid1->currentIndex().row() : 0;
    if (selected < m_list.size())
        m_list.removeAt(selected);
    showEntries();
    StringGrid1->setCurrentIndex(m_entries->index(std::min<int>(selected, m_entries->rowCount() - 1)));
}

void TForm4::Button2Click()
{
    accept();
}

void TForm4::FormResize()
{
    const int buttonHeight = 25;
    StringGrid1->setGeometry(0, 0, width() - 2, height() - buttonHeight - 2);
    StringGrid1->setColumnWidth(0, std::max(0, StringGrid1->viewport()->width() - 1));
    const int buttonsTop = StringGrid1->geometry().bottom() + 1 + 1;
    Button1->setGeometry(8, buttonsTop, 75, buttonHeight);
    Button2->setGeometry(width() - 2 - 75, buttonsTop, 75, buttonHeight);
}

void TForm4::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        dialogplacement::placeCentred(this, 427, 360);
    }
    QDialog::showEvent(event);
    FormResize();
}

void TForm4::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

} // namespace lintaro
