#include "pathmapdialog.h"

#include "common/interaction.h"
#include "lookup/dialogplacement.h"
#include "settings/settingsstore.h"

#include <QDir>
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
    // Rows as high as in the other lists.
    m_table->verticalHeader()->setMinimumSectionSize(1);
    m_table->verticalHeader()->setDefaultSectionSize(14);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setTabKeyNavigation(false);
    layout->addWidget(m_table, 1);

    auto *buttons = new QHBoxLayout;
    m_add = new QPushButton(QStringLiteral("&Добавить"), this);
    m_remove = new QPushButton(QStringLiteral("&Удалить"), this);
    m_up = new QPushButton(QStringLiteral("&Выше"), this);
    m_down = new QPushButton(QStringLiteral("&Ниже"), this);
    m_folder = new QPushButton(QStringLiteral("&Папка..."), this);
    m_folder->setToolTip(QStringLiteral("Выбрать путь здесь в окне выбора папки"));
    m_ok = new QPushButton(QStringLiteral("&ОК"), this);
    m_ok->setDefault(true);
    for (QPushButton *button : { m_add, m_remove, m_up, m_down, m_folder })
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);

    connect(m_add, &QPushButton::clicked, this, [this] {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, 0, new QTableWidgetItem);
        m_table->setItem(row, 1, new QTableWidgetItem);
        m_table->setFocus();
        m_table->setCurrentCell(row, 0);
        m_table->editItem(m_table->item(row, 0));
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        m_table->setFocus();
        if (row < 0)
            return;
        if (m_interaction.message(QStringLiteral("Удаление записи"), QStringLiteral("Действительно удалить?"),
                MessageIcon::Question, MessageButtons::YesNoCancel)
            == MessageAnswer::Yes)
            m_table->removeRow(row);
    });
    connect(m_up, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(m_folder, &QPushButton::clicked, this, &PathMapDialog::chooseLocalFolder);
    connect(m_ok, &QPushButton::clicked, this, &PathMapDialog::accept);
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
    dialogplacement::focusFirstControl(this);
}

void PathMapDialog::moveCurrent(int step)
{
    const int from = m_table->currentRow();
    const int to = from + step;
    m_table->setFocus();
    if (from < 0 || to < 0 || to >= m_table->rowCount())
        return;
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem *moved = m_table->takeItem(from, column);
        m_table->setItem(from, column, m_table->takeItem(to, column));
        m_table->setItem(to, column, moved);
    }
    m_table->setCurrentCell(to, m_table->currentColumn());
}

void PathMapDialog::chooseLocalFolder()
{
    const std::optional<QString> folder
        = m_interaction.chooseFolder(QStringLiteral("Выберите папку роликов на этом компьютере"));
    m_table->setFocus();
    if (!folder)
        return;
    int row = m_table->currentRow();
    if (row < 0) {
        row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, 1, new QTableWidgetItem);
    }
    m_table->setItem(row, 0, new QTableWidgetItem(QDir::toNativeSeparators(*folder)));
    m_table->setCurrentCell(row, 1);
}

void PathMapDialog::reject()
{
    // Esc and the close box keep the pairs, as in the other settings windows.
    accept();
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
