#include "cliptypesdialog.h"

#include "common/interaction.h"
#include "lookup/cliptypes.h"
#include "lookup/dialogplacement.h"
#include "settings/settingsstore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace lintaro {

namespace {
constexpr int kRowHeight = 14;
} // namespace

ClipTypesDialog::ClipTypesDialog(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QDialog(parent)
    , m_interaction(interaction)
    , m_settings(settings)
    , m_report(interaction)
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
    m_up = new QPushButton(QStringLiteral("&Выше"), this);
    m_down = new QPushButton(QStringLiteral("&Ниже"), this);
    moves->addWidget(m_up);
    moves->addWidget(m_down);
    moves->addStretch(1);
    row->addLayout(moves);
    layout->addLayout(row, 1);

    // Like the other settings windows: no cancel, every close stores.
    auto *buttons = new QHBoxLayout;
    m_ok = new QPushButton(QStringLiteral("&ОК"), this);
    m_ok->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);

    connect(m_up, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(m_ok, &QPushButton::clicked, this, &ClipTypesDialog::accept);
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
        // Room for the tick box and the text; rows as high as in the other lists.
        item->setSizeHint(QSize(m_list->fontMetrics().horizontalAdvance(type) + 40, kRowHeight));
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
    dialogplacement::focusFirstControl(this);
}

void ClipTypesDialog::reject()
{
    accept();
}

void ClipTypesDialog::accept()
{
    // Stored as empty, nothing ticked would quietly mean avi alone.
    if (chosenTypes().isEmpty()) {
        m_interaction.message(windowTitle(), kNothingChosen, MessageIcon::Warning);
        return;
    }
    if (m_report.guard([this] { m_settings.write(cliptypes::kSettingName, cliptypes::toStored(chosenTypes())); }))
        QDialog::accept();
}

} // namespace lintaro
