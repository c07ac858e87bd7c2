#include "deepcheckwindow.h"

#include "common/errorreport.h"
#include "common/interaction.h"
#include "common/textfile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lintaro {

namespace {

constexpr int kRowHeight = 14;

QTableWidget *makeTable(const QStringList &headers, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(kRowHeight);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight + 2);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void setRow(QTableWidget *table, int row, const QStringList &texts)
{
    for (int c = 0; c < texts.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(texts[c]));
}

} // namespace

DeepCheckWindow::DeepCheckWindow(Interaction &interaction, QWidget *parent)
    : QDialog(parent), m_interaction(interaction)
{
    setWindowTitle(kCaption);
    resize(760, 480);
    auto *layout = new QVBoxLayout(this);
    m_rows = makeTable({QStringLiteral("Строка"), QStringLiteral("Источник"), QStringLiteral("Состояние"),
                        QStringLiteral("Файл"), QStringLiteral("Кадров"), QStringLiteral("Длительность")},
                       this);
    layout->addWidget(m_rows, 3);
    m_groupCaption = new QLabel(this);
    layout->addWidget(m_groupCaption);
    m_groups = makeTable({QStringLiteral("Файл"), QStringLiteral("Роликов"), QStringLiteral("Кадров"),
                          QStringLiteral("Длительность")},
                         this);
    layout->addWidget(m_groups, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_save = new QPushButton(QStringLiteral("Сохранить..."), this);
    buttons->addWidget(m_save);
    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, [this] { saveClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_rows, &QTableWidget::cellDoubleClicked, this, [this](int line, int) {
        if (rowActivated && line >= 0 && line < m_report.rows.size())
            rowActivated(m_report.rows[line].row);
    });
}

void DeepCheckWindow::showReport(const DeepCheckReport &report)
{
    m_report = report;
    m_rows->setRowCount(int(report.rows.size()));
    for (int i = 0; i < report.rows.size(); ++i) {
        const DeepCheckRow &row = report.rows[i];
        const QString file = row.status == DeepCheckRow::Status::Ambiguous
            ? row.candidates.join(QStringLiteral(", "))
            : row.path;
        setRow(m_rows, i,
               {QString::number(row.row), row.cell, deepCheckStatusText(row), file,
                row.facts ? QString::number(row.facts->frameCount) : QString(),
                row.facts ? timecode(row.facts->frameCount, *row.facts) : QString()});
        if (row.status != DeepCheckRow::Status::Found) {
            // Rows passed over are no fault: grey, not red.
            const QColor colour = row.passedOver() ? QColor(128, 128, 128) : QColor(192, 0, 0);
            for (int c = 0; c < m_rows->columnCount(); ++c)
                m_rows->item(i, c)->setForeground(colour);
        }
    }
    m_rows->resizeColumnsToContents();

    m_groups->setRowCount(int(report.groups.size()));
    for (int i = 0; i < report.groups.size(); ++i) {
        const DeepCheckGroup &group = report.groups[i];
        setRow(m_groups, i,
               {group.name, QString::number(group.clips), QString::number(group.frames), group.duration});
    }
    m_groups->resizeColumnsToContents();
    m_groupCaption->setText(report.conversionPasses
                                ? QStringLiteral("Файлы конвертации:")
                                : QStringLiteral("Конвертация остановится на строке %1").arg(report.stopRow));
}

void DeepCheckWindow::saveClick()
{
    ErrorReport(m_interaction).guard([this] {
        FileDialogRequest request;
        request.title = QStringLiteral("Сохранить результат проверки");
        request.filters = parseFilterText(kSaveFilter);
        request.defaultSuffix = QStringLiteral("csv");
        const std::optional<QString> chosen = m_interaction.saveFile(request);
        if (!chosen)
            return;
        textfile::writeAtomically(*chosen, deepCheckCsv(m_report));
    });
}

} // namespace lintaro
