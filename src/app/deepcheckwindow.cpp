#include "deepcheckwindow.h"

#include "common/errorreport.h"
#include "common/interaction.h"
#include "common/plural.h"
#include "common/textfile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
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

QString groupCaption(const DeepCheckReport &report)
{
    if (!report.conversionPasses)
        return QStringLiteral("Конвертация остановится на строке ") + QString::number(report.stopRow);
    int asked = 0;
    for (const DeepCheckGroup &group : report.groups) {
        if (!group.error.isEmpty())
            return QStringLiteral("Конвертация не запишет файлы: ") + group.error;
        asked += group.asked;
    }
    if (asked > 0)
        return QStringLiteral("Файлы конвертации (она спросит файлы для ")
            + countOf(asked, QStringLiteral("ролика"), QStringLiteral("роликов"), QStringLiteral("роликов"))
            + QStringLiteral(", их длительность не учтена):");
    return QStringLiteral("Файлы конвертации:");
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
    m_refresh = new QPushButton(QStringLiteral("&Обновить"), this);
    buttons->addWidget(m_refresh);
    buttons->addStretch();
    m_save = new QPushButton(QStringLiteral("&Сохранить..."), this);
    buttons->addWidget(m_save);
    auto *close = new QPushButton(QStringLiteral("&Закрыть"), this);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, [this] { saveClick(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        if (refreshRequested)
            refreshRequested();
    });
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
        for (int c = 0; !group.error.isEmpty() && c < m_groups->columnCount(); ++c) {
            m_groups->item(i, c)->setForeground(QColor(192, 0, 0));
            m_groups->item(i, c)->setToolTip(group.error);
        }
    }
    m_groups->resizeColumnsToContents();
    if (!m_fitted) {
        // Wide enough for every column, within the screen.
        m_fitted = true;
        int columns = m_rows->verticalScrollBar()->sizeHint().width() + 2 * m_rows->frameWidth();
        for (int c = 0; c < m_rows->columnCount(); ++c)
            columns += m_rows->columnWidth(c);
        const QMargins margins = layout()->contentsMargins();
        int wanted = columns + margins.left() + margins.right();
        if (const QScreen *shown = screen())
            wanted = std::min(wanted, shown->availableGeometry().width() - 40);
        if (wanted > width())
            resize(wanted, height());
    }
    m_groupCaption->setText(groupCaption(report));
}

void DeepCheckWindow::setRunning(bool running)
{
    m_running = running;
    m_refresh->setEnabled(!running);
    m_save->setEnabled(!running);
}

void DeepCheckWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_running && event->key() == Qt::Key_Escape) {
        if (stopRequested)
            stopRequested();
        return;
    }
    QDialog::keyPressEvent(event);
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
