#include "cliptypesdialog.h"

#include "lookup/cliptypes.h"
#include "settings/settingsstore.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace lintaro {

ClipTypesDialog::ClipTypesDialog(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_report(interaction)
{
    setWindowTitle(QStringLiteral("Типы файлов роликов"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Код в скобках ищется среди файлов отмеченных типов,\nпо порядку: следующий тип - "
                       "только если\nпредыдущий не дал ни одного файла."),
        this));

    auto *row = new QHBoxLayout;
    m_list = new QListWidget(this);
    row->addWidget(m_list, 1);
    auto *moves = new QVBoxLayout;
    m_up = new QPushButton(QStringLiteral("Выше"), this);
    m_down = new QPushButton(QStringLiteral("Ниже"), this);
    moves->addWidget(m_up);
    moves->addWidget(m_down);
    moves->addStretch(1);
    row->addLayout(moves);
    layout->addLayout(row, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("ОК"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    layout->addWidget(buttons);

    connect(m_up, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(buttons, &QDialogButtonBox::accepted, this, &ClipTypesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ClipTypesDialog::reject);
    showTypes(cliptypes::defaults());
}

QStringList ClipTypesDialog::chosenTypes() const
{
    QStringList types;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->checkState() == Qt::Checked)
            types.append(m_list->item(i)->text());
    }
    return types;
}

void ClipTypesDialog::showTypes(const QStringList &types)
{
    const QStringList chosen = cliptypes::cleaned(types);
    QStringList shown = chosen;
    for (const QString &type : cliptypes::known()) {
        if (!shown.contains(type))
            shown.append(type);
    }
    m_list->clear();
    for (const QString &type : shown) {
        auto *item = new QListWidgetItem(type, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen.contains(type) ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setCurrentRow(0);
}

void ClipTypesDialog::moveCurrent(int step)
{
    const int from = m_list->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= m_list->count())
        return;
    QListWidgetItem *item = m_list->takeItem(from);
    m_list->insertItem(to, item);
    m_list->setCurrentRow(to);
}

void ClipTypesDialog::showEvent(QShowEvent *event)
{
    m_report.guard([this] { showTypes(cliptypes::read(m_settings)); });
    QDialog::showEvent(event);
}

void ClipTypesDialog::accept()
{
    // Nothing ticked means the search as it always was: avi alone.
    if (m_report.guard([this] { m_settings.write(cliptypes::kSettingName, cliptypes::toStored(chosenTypes())); }))
        QDialog::accept();
}

} // namespace lintaro
