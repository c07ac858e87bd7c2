#include "pathmapdialog.h"

#include "common/interaction.h"
#include "settings/settingsstore.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lintaro {

namespace {

const QString kPathMap = QStringLiteral("PathMap");

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

PathMapDialog::PathMapDialog(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QDialog(parent)
    , m_interaction(interaction)
    , m_settings(settings)
    , m_report(interaction)
{
    setWindowTitle(kTitle);
    resize(560, 260);

    auto *layout = new QVBoxLayout(this);
    auto *hint
        = new QLabel(QStringLiteral("Путь ролика, начинающийся с пути слева, записывается в файлы монтажа "
                                    "с путем справа вместо этого начала. Действует первая подходящая пара."),
            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels(
        { QStringLiteral("Путь здесь"), QStringLiteral("Путь на монтажной станции") });
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_table, 1);

    auto *buttons = new QHBoxLayout;
    m_add = new QPushButton(QStringLiteral("Добавить"), this);
    m_remove = new QPushButton(QStringLiteral("Удалить"), this);
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    auto *box = new QDialogButtonBox(this);
    box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    box->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    buttons->addWidget(box);
    layout->addLayout(buttons);

    connect(m_add, &QPushButton::clicked, this, [this] {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setCurrentCell(row, 0);
        m_table->editItem(m_table->item(row, 0));
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0)
            m_table->removeRow(m_table->currentRow());
    });
    connect(box, &QDialogButtonBox::accepted, this, &PathMapDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &PathMapDialog::reject);
}

QList<PathMapping> PathMapDialog::pairs() const
{
    QList<PathMapping> pairs;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const PathMapping pair { cellText(m_table, row, 0), cellText(m_table, row, 1) };
        if (!pair.local.isEmpty() || !pair.remote.isEmpty())
            pairs.append(pair);
    }
    return pairs;
}

void PathMapDialog::setPairs(const QList<PathMapping> &pairs)
{
    m_table->setRowCount(0);
    for (const PathMapping &pair : pairs) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, 0, new QTableWidgetItem(pair.local));
        m_table->setItem(row, 1, new QTableWidgetItem(pair.remote));
    }
}

void PathMapDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setPairs({});
    m_report.guard([this] { setPairs(PathMap::fromStored(m_settings.read(kPathMap)).pairs()); });
}

void PathMapDialog::accept()
{
    // Moving off the current cell commits an edit still open in it.
    m_table->setCurrentIndex(QModelIndex());
    const QList<PathMapping> entered = pairs();
    for (const PathMapping &pair : entered) {
        const QString problem = PathMap::pairProblem(pair);
        if (!problem.isEmpty()) {
            m_interaction.message(kTitle, problem, MessageIcon::Warning);
            return;
        }
    }
    if (m_report.guard([&] { m_settings.write(kPathMap, PathMap(entered).toStored()); }))
        QDialog::accept();
}

} // namespace lintaro
