#include "tform1.h"

#include "app/deepcheckwindow.h"
#include "app/fontmeasure.h"
#include "app/runinteraction.h"
#include "app/schedulecelldelegate.h"
#include "app/statuspanel.h"
#include "common/errorreport.h"
#include "common/interaction.h"
#include "dialogs/pathmapdialog.h"
#include "dialogs/tform5.h"
#include "dialogs/tform6.h"
#include "dialogs/tform7.h"
#include "lookup/checkrun.h"
#include "lookup/clipresolver.h"
#include "lookup/cliptypes.h"
#include "lookup/cliptypesdialog.h"
#include "lookup/listingcache.h"
#include "lookup/tform2.h"
#include "lookup/tform3.h"
#include "lookup/tform4.h"
#include "schedule/columnlayout.h"
#include "schedule/rowuse.h"
#include "schedule/scheduleimport.h"
#include "schedule/schedulemodel.h"
#include "sequence/conversionrun.h"
#include "sequence/deepcheck.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace lintaro {

namespace {

constexpr int kRowHeight = 14;
// The width of the frame around the row a run is on.
constexpr int kRunFrame = 2;
// The stretch never makes the last column narrower than a default column.
constexpr int kMinimumLastColumn = 64;

const QString kOpenFilter = QStringLiteral(
    "Файлы Excel (*.csv)|*.csv|Книги Excel и Calc (*.xlsx *.ods)|*.xlsx;*.ods|Текстовые файлы (*.txt)|*.txt|"
    "Все файлы (*.*)|*.*");

// A menu caption shows "&" only when doubled; a single one marks the accelerator.
QString menuCaption(const QString &path)
{
    QString caption = path;
    return caption.replace(u'&', QStringLiteral("&&"));
}

// The path a menu caption shows: "&&" is one "&", a single "&" (an accelerator
// mark the menu may have put in, at the front) is dropped.
QString shownText(const QString &caption)
{
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&')
            text += caption[i];
        else if (i + 1 < caption.size() && caption[i + 1] == u'&')
            text += caption[++i];
    }
    return text;
}

const QColor kSourceFill(0, 255, 0);
const QColor kSeparatorFill(255, 255, 0);

} // namespace

TForm1::TForm1(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QMainWindow(parent),
      m_interaction(interaction),
      m_settings(settings),
      m_report(std::make_unique<ErrorReport>(interaction)),
      m_listings(std::make_unique<ListingCache>())
{
    m_listings->watchFolders();
    setWindowTitle(kCaption);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    resize(423, 470);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_model = new ScheduleModel(this);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Behind the grid, a lowered frame shows while no schedule is open.
    m_backFrame = new QFrame(central);
    m_backFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *frameLayout = new QVBoxLayout(m_backFrame);
    frameLayout->setContentsMargins(0, 0, 0, 0);

    StringGrid1 = new ScheduleGrid(m_backFrame);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(m_model);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The style's minimum would otherwise hold the rows above 14 pixels.
    StringGrid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView *header = StringGrid1->horizontalHeader();
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setFixedHeight(kRowHeight + 2);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { StringGrid1ContextPopup(pos); });
    m_delegate = new ScheduleCellDelegate(
        [this](QPainter &painter, const QRect &rect, const QModelIndex &index) {
            StringGrid1DrawCell(painter, rect, index);
        },
        this, StringGrid1);
    StringGrid1->setItemDelegate(m_delegate);
    StringGrid1->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);
    frameLayout->addWidget(StringGrid1);
    layout->addWidget(m_backFrame, 1);

    StatusBar1 = new StatusPanel(
        [this](QPainter &painter, const QRect &panel) { StatusBar1DrawPanel(painter, panel); }, central);
    layout->addWidget(StatusBar1);
    // The status bar names the selected rows.
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, StatusBar1,
        [this] { StatusBar1->update(); });
    setCentralWidget(central);

    PopupMenu1 = new QMenu(this);
    setsrc = PopupMenu1->addAction(QStringLiteral("Назначить Источником"), this, [this] { setsrcClick(); });
    unsrc = PopupMenu1->addAction(QStringLiteral("Убрать Источник"), this, [this] { unsrcClick(); });
    setbr = PopupMenu1->addAction(QStringLiteral("Назначить Столбцом разделителей"), this,
                                  [this] { setbrClick(); });
    unbr = PopupMenu1->addAction(QStringLiteral("Убрать разделители"), this, [this] { unbrClick(); });

    createMenus();
    setAcceptDrops(true);

    StringGrid1->hide();
    // Errors here escape start-up: the caller shows them and the program ends.
    FormCreate();
}

TForm1::~TForm1()
{
    m_report->guard([this] { FormDestroy(); });
}

void TForm1::createMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&Файл"));
    m_fileMenu->addAction(QStringLiteral("&Открыть"), this, [this] { Open1Click(); });
    m_recentMenu = m_fileMenu->addMenu(QStringLiteral("Открыть последний"));
    m_recentFile = m_recentMenu->addAction(QString(), this, [this] { LastFileClick(); });
    m_fileMenu->addAction(QStringLiteral("&Закрыть"), this, [this] { Close1Click(); });
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(QStringLiteral("Вы&ход"), this, [this] { Exit1Click(); });

    m_conversionMenu = menuBar()->addMenu(QStringLiteral("&Конвертация"));
    Build1 = m_conversionMenu->menuAction();
    N5 = m_conversionMenu->addAction(QStringLiteral("&Конвертнуть"), this, [this] { Build1Click(); });
    N6 = m_conversionMenu->addAction(QStringLiteral("&Проверить"), this, [this] { N6Click(); });
    DeepCheck1 = m_conversionMenu->addAction(
        QStringLiteral("Проверить по&дробно"), this, [this] { DeepCheck1Click(); });
    Build1->setEnabled(false);

    m_settingsMenu = menuBar()->addMenu(QStringLiteral("&Настройка"));
    m_settingsMenu->addAction(QStringLiteral("Директории поиска"), this, [this] { N3Click(); });
    m_settingsMenu->addAction(QStringLiteral("Сопоставления"), this, [this] { N4Click(); });
    m_settingsMenu->addAction(QStringLiteral("Аудио в отдельном файле"), this, [this] { N7Click(); });
    m_settingsMenu->addAction(QStringLiteral("Типы файлов роликов"), this, [this] { N9Click(); });
    m_settingsMenu->addAction(PathMapDialog::kTitle, this, [this] { PathMapClick(); });

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Помощь"));
    m_helpMenu->addAction(QStringLiteral("&Справка"), this, [this] { N8Click(); });
    m_helpMenu->addAction(QStringLiteral("&О..."), this, [this] { Help1Click(); });

    // A run's result stays in the status bar until the next command begins.
    for (QMenu *menu : {m_fileMenu, m_conversionMenu, m_settingsMenu, m_helpMenu, PopupMenu1})
        connect(menu, &QMenu::aboutToShow, this, [this] { clearNotice(); });

    m_runModal = [](QDialog &dialog) { dialog.exec(); };
}

void TForm1::runModal(QDialog *dialog)
{
    if (dialog)
        m_runModal(*dialog);
}

void TForm1::N3Click()
{
    if (m_windows.form2)
        m_report->guard([this] { m_windows.form2->folders().bringUpToDate(); });
    runModal(m_windows.form2);
}

void TForm1::N4Click()
{
    if (m_windows.form3)
        m_report->guard([this] { m_windows.form3->substitutions().bringUpToDate(); });
    runModal(m_windows.form3);
}

void TForm1::N7Click()
{
    runModal(m_windows.form5);
}

void TForm1::N9Click()
{
    runModal(m_windows.clipTypes);
}

void TForm1::PathMapClick()
{
    runModal(m_windows.pathMap);
}

void TForm1::N8Click()
{
    if (!m_windows.form7)
        return;
    if (!m_windows.form7->wasShown()) {
        QString stored;
        m_report->guard([&] { stored = m_settings.read(kHelpPosition); });
        if (!stored.isEmpty())
            m_windows.form7->placeFrom(QByteArray::fromBase64(stored.toLatin1()));
    }
    m_windows.form7->showHelp();
}

void TForm1::Help1Click()
{
    if (!m_windows.form6)
        return;
    m_windows.form6->prepareOver(*this);
    runModal(m_windows.form6);
}

void TForm1::beginListingRun()
{
    if (m_windows.form2)
        m_listings->beginRun(m_windows.form2->folders().list().texts());
}

void TForm1::showGridRow(int row)
{
    // The row becomes current without touching the operator's selection, and
    // the view keeps its sideways position, so the first columns stay in sight.
    const int column = std::max(0, StringGrid1->columnAt(0));
    StringGrid1->showRow(m_model->index(row - 1, column));
}

void TForm1::setRunRow(int row)
{
    if (row == m_runRow)
        return;
    // Only the rows that gain or lose the frame are painted again.
    const auto updateRow = [this](int scheduleRow) {
        if (scheduleRow <= 0 || scheduleRow > m_model->rowCount())
            return;
        const int top = StringGrid1->rowViewportPosition(scheduleRow - 1);
        StringGrid1->viewport()->update(
            0, top, StringGrid1->viewport()->width(), StringGrid1->rowHeight(scheduleRow - 1));
    };
    updateRow(m_runRow);
    m_runRow = row;
    updateRow(m_runRow);
}

void TForm1::showRunRow()
{
    if (m_pendingRow > 0 && m_pendingRow != m_runRow) {
        setRunRow(m_pendingRow);
        showGridRow(m_pendingRow);
    }
    StatusBar1->repaint();
}

QString TForm1::shownStatusText() const
{
    if (m_converting && m_progress > 0)
        return runStatusText();
    if (m_deepChecking && m_progress > 0)
        return QStringLiteral("Подробная проверка: строка %1 из %2")
            .arg(m_deepCheckRow)
            .arg(m_model->table().rowCount() - 1);
    if (!m_notice.isEmpty())
        return m_notice;
    const std::optional<RowSelection> rows = StringGrid1->chosenRows();
    if (!rows)
        return m_statusText;
    return m_statusText + QStringLiteral("  ") + rowSelectionText(m_model->table(), *rows);
}

QString TForm1::runStatusText() const
{
    if (m_runRow <= 0)
        return QString();
    // The file once found, else the Source cell the run is asking about.
    QString what;
    if (!m_runFile.isEmpty())
        what = QStringLiteral("…/") + QFileInfo(m_runFile).fileName();
    else if (const int source = m_model->table().sourceColumn(); source >= 0)
        what = m_model->table().cellView(source, m_runRow).trimmed().toString();
    return QStringLiteral("Строка %1: ").arg(m_runRow) + what;
}

void TForm1::clearNotice()
{
    if (m_notice.isEmpty())
        return;
    m_notice.clear();
    StatusBar1->update();
}

void TForm1::showEmptyRows(const QString &status, int emptyRows)
{
    if (emptyRows == 0)
        return;
    const QString count = emptyRowsText(emptyRows);
    m_notice = status.isEmpty() ? count : status + QStringLiteral("; ") + count;
    StatusBar1->update();
}

void TForm1::warnUnavailable(const QStringList &folders)
{
    if (folders.isEmpty())
        return;
    QStringList lines;
    for (const QString &folder : folders)
        lines.append(ClipResolver::unavailableText(folder));
    m_interaction.message(ClipResolver::errorCaption(), lines.join(u'\n'), MessageIcon::Warning);
}

bool TForm1::sourceMarked()
{
    if (m_model->table().sourceColumn() < 0) {
        m_interaction.message(ConversionRun::kNoSourceCaption, ConversionRun::kNoSourceText, MessageIcon::Warning);
        return false;
    }
    return m_windows.form2 && m_windows.form3;
}

void TForm1::bringListsUpToDate()
{
    m_windows.form2->folders().bringUpToDate();
    m_windows.form3->substitutions().bringUpToDate();
}

ClipResolver TForm1::checkResolver()
{
    bringListsUpToDate();
    ClipResolver resolver(m_windows.form2->folders(), m_windows.form3->substitutions(), m_interaction);
    resolver.setClipTypes(cliptypes::read(m_settings));
    return resolver;
}

void TForm1::N6Click()
{
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] {
        const ScheduleTable &table = m_model->table();
        if (!sourceMarked() || !m_windows.form4)
            return;
        const ClipResolver resolver = checkResolver();
        beginListingRun();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const std::optional<RowSelection> rows = StringGrid1->chosenRows();
        const CheckRunResult result
            = checkSources(table, resolver, m_listings.get(), rows ? &*rows : nullptr);
        QApplication::restoreOverrideCursor();
        showEmptyRows(m_statusText, result.emptyRows);
        warnUnavailable(result.unavailableFolders);
        m_windows.form4->clearEntries();
        for (const QString &cell : result.unresolved)
            m_windows.form4->appendEntry(cell);
        if (result.unresolved.isEmpty())
            m_interaction.message(QStringLiteral("Все файлы найдены"), QStringLiteral("Все готово к конвертации"),
                                  MessageIcon::None);
        else
            runModal(m_windows.form4);
    });
}

void TForm1::DeepCheck1Click()
{
    if (busy())
        return;
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] {
        const ScheduleTable &table = m_model->table();
        if (!sourceMarked())
            return;
        const std::optional<RowSelection> rows = StringGrid1->chosenRows();
        const ClipResolver resolver = checkResolver();
        const QString audioLocation = m_windows.form5 ? m_windows.form5->audioLocation() : QString();
        // As the next conversion would write, and it asks for missing names.
        DeepCheckTarget target;
        target.format = m_format;
        target.pathMap = PathMap::fromStored(m_settings.read(QStringLiteral("PathMap")));
        target.asksForFiles = true;
        beginListingRun();
        if (!m_deepCheck) {
            m_deepCheck = new DeepCheckWindow(m_interaction, this);
            QString stored;
            m_report->guard([&] { stored = m_settings.read(kDeepCheckGeometry); });
            if (!stored.isEmpty() && m_deepCheck->restoreGeometry(QByteArray::fromBase64(stored.toLatin1())))
                m_deepCheck->keepSize();
            m_deepCheck->rowActivated = [this](int row) {
                if (busy() || row < 1 || row >= m_model->table().rowCount())
                    return;
                // The current cell moves there; the operator's selection stays.
                showGridRow(row);
                activateWindow();
            };
            m_deepCheck->refreshRequested = [this] { DeepCheck1Click(); };
            m_deepCheck->stopRequested = [this] { m_stopDeepCheck = true; };
        }
        // Commands wait while it runs; the window repaints and Esc stops it.
        m_deepChecking = true;
        m_stopDeepCheck = false;
        setCommandsBlocked(true);
        m_deepCheck->setRunning(true);
        const auto finish = qScopeGuard([this] {
            m_deepChecking = false;
            setCommandsBlocked(false);
            m_deepCheck->setRunning(false);
            m_progress = 0;
            StatusBar1->update();
        });
        QElapsedTimer repaint; // invalid: the first row shows at once
        const int rowCount = table.rowCount();
        const DeepCheckReport report = deepCheck(table, resolver, audioLocation, m_listings.get(),
            rows ? &*rows : nullptr, target, [&](int row) {
                  if (!repaint.isValid() || repaint.elapsed() >= kRepaintIntervalMs) {
                      m_progress = std::clamp(row * 100 / std::max(rowCount, 1), 0, 100);
                      m_deepCheckRow = row;
                      StatusBar1->repaint();
                      QCoreApplication::processEvents();
                      repaint.start();
                  }
                  return !m_stopDeepCheck;
              });
        if (report.stopped) {
            m_notice = QStringLiteral("Подробная проверка прервана на строке %1").arg(m_deepCheckRow);
        } else {
            showEmptyRows(m_statusText, report.emptyRows);
            warnUnavailable(report.unavailableFolders);
            m_deepCheck->showReport(report);
            m_deepCheck->show();
            m_deepCheck->raise();
        }
    });
    if (m_closeRequested && !busy())
        close();
}

void TForm1::askToCancel()
{
    if (!m_converting || m_cancelRequested || m_askingToCancel)
        return;
    m_askingToCancel = true;
    const MessageAnswer answer
        = m_interaction.message(kCancelCaption, kCancelQuestion, MessageIcon::Question, MessageButtons::YesNo);
    m_askingToCancel = false;
    if (answer == MessageAnswer::Yes)
        m_cancelRequested = true;
}

void TForm1::Build1Click()
{
    if (busy() || !m_windows.form2 || !m_windows.form3)
        return;
    // Before the run makes the table read-only, which would refuse the text.
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] {
        // Widths belong to the view; the stored layout takes them from there.
        for (int c = 0; c < m_model->columnCount(); ++c)
            m_model->setColumnWidth(c, StringGrid1->columnWidth(c));
        bringListsUpToDate();
        // Every question of the run first shows the row it is about.
        RunInteraction asking(m_interaction, [this] { showRunRow(); });
        ClipResolver resolver(m_windows.form2->folders(), m_windows.form3->substitutions(), asking);
        resolver.setClipTypes(cliptypes::read(m_settings));
        ConversionRun run(asking, &m_settings, resolver);
        run.setAskBeforeManyFiles(true);
        run.setFormat(m_format);
        run.setPathMap(PathMap::fromStored(m_settings.read(QStringLiteral("PathMap"))));
        beginListingRun();
        run.setListings(m_listings.get());
        const std::optional<RowSelection> rows = StringGrid1->chosenRows();
        run.setSelection(rows ? &*rows : nullptr);

        // The grid and the status bar follow the run, but repainting and
        // handling events for every row would cost more than the run itself:
        // they happen at most every kRepaintIntervalMs, before every question,
        // and whenever the progress returns to 0 (the walk's end, any way out).
        m_pendingRow = 0;
        setRunRow(0);
        m_cancelRequested = false;
        m_repaintTimer.invalidate();
        ConversionRun::Hooks hooks;
        hooks.visitRow = [this](int row) {
            m_pendingRow = row;
            m_runFile.clear();
            m_progress = std::clamp(row * 100 / std::max(m_model->table().rowCount(), 1), 0, 100);
        };
        hooks.clipFound = [this](const QString &path) { m_runFile = path; };
        hooks.progress = [this](int percent) {
            m_progress = std::clamp(percent, 0, 100);
            if (percent != 0 && m_repaintTimer.isValid() && m_repaintTimer.elapsed() < kRepaintIntervalMs)
                return;
            showRunRow();
            QCoreApplication::processEvents();
            m_repaintTimer.start();
        };
        hooks.cancelled = [this] { return m_cancelRequested; };
        hooks.audioLocation = [this] { return m_windows.form5 ? m_windows.form5->audioLocation() : QString(); };

        setConverting(true);
        ConversionRun::Result result;
        try {
            result = run.run(m_model->table(), m_psqFileName, hooks);
        } catch (...) {
            m_format = run.format();
            setConverting(false);
            throw;
        }
        m_format = run.format();
        setConverting(false);
        showRunRow(); // the grid stays at the last row visited
        // The frame stays on the row a run stopped at, until the next command.
        if (result.outcome != ConversionRun::Outcome::RowFailed
            && result.outcome != ConversionRun::Outcome::Interrupted)
            setRunRow(0);
        if (result.outcome == ConversionRun::Outcome::RowFailed) {
            m_notice = QStringLiteral("Конвертация остановлена на строке %1, файлы не записаны")
                           .arg(result.failedRow);
        } else if (result.outcome == ConversionRun::Outcome::Written) {
            if (result.files.isEmpty())
                m_notice = QStringLiteral("Конвертация завершена: конвертировать было нечего, файлы не записаны");
            else
                m_notice = QStringLiteral("Конвертация завершена: записано файлов %1: %2 в %3")
                               .arg(formatInfo(result.format).name, QString::number(result.files.size()),
                                   QDir::toNativeSeparators(QFileInfo(result.files.first()).absolutePath()));
            showEmptyRows(m_notice, result.emptyRows);
        } else if (result.outcome == ConversionRun::Outcome::Interrupted) {
            m_notice = QStringLiteral("Конвертация прервана, файлы не записаны");
        }
        StatusBar1->update();
    });
    if (m_closeRequested)
        close();
}

void TForm1::setConverting(bool converting)
{
    m_converting = converting;
    setCommandsBlocked(converting);
}

void TForm1::setCommandsBlocked(bool blocked)
{
    // While a run or a deep check is in progress only the help menu stays
    // open, and the table being read cannot be changed.
    for (QMenu *menu : {m_fileMenu, m_conversionMenu, m_settingsMenu})
        menu->menuAction()->setEnabled(!blocked);
    if (!blocked)
        Build1->setEnabled(m_model->columnCount() > 0);
    m_model->setEditable(m_editMode && !blocked);
    // The selection the run took stays as it is until the run ends.
    StringGrid1->setSelectionMode(blocked ? QAbstractItemView::NoSelection : QAbstractItemView::ExtendedSelection);
}

QList<QMenu *> TForm1::menus() const
{
    return {m_fileMenu, m_conversionMenu, m_settingsMenu, m_helpMenu};
}

QWidget *TForm1::statusPanel() const
{
    return StatusBar1;
}

void TForm1::FormCreate()
{
    setEditMode(false);
    const QString lastCsv = m_settings.read(QStringLiteral("LastCSV"));
    if (!lastCsv.isEmpty()) {
        m_openFileName = lastCsv;
        m_recentFile->setText(menuCaption(lastCsv));
    }
    m_recentMenu->menuAction()->setVisible(!lastCsv.isEmpty());
    const QString lastPsq = m_settings.read(QStringLiteral("LastPSQ"));
    if (!lastPsq.isEmpty())
        m_psqFileName = lastPsq;
    m_format = formatFromKey(m_settings.read(QStringLiteral("LastFormat"))).value_or(SequenceFormat::Psq);
    // Qt checks the stored bytes and keeps the window on a screen that exists.
    restoreWindowGeometry(this, kMainGeometry);
}

void TForm1::FormDestroy()
{
    m_settings.write(QStringLiteral("LastCSV"), m_openFileName);
    m_settings.write(QStringLiteral("LastPSQ"), m_psqFileName);
    m_settings.write(QStringLiteral("LastFormat"), formatInfo(m_format).key);
    m_settings.write(kMainGeometry, QString::fromLatin1(saveGeometry().toBase64()));
    // The other two only when they were shown in this run, else they keep theirs.
    if (m_deepCheck)
        m_settings.write(kDeepCheckGeometry, QString::fromLatin1(m_deepCheck->saveGeometry().toBase64()));
    if (m_windows.form7 && m_windows.form7->wasShown())
        m_settings.write(kHelpPosition, QString::fromLatin1(m_windows.form7->saveGeometry().toBase64()));
}

void TForm1::restoreWindowGeometry(QWidget *window, const QString &setting)
{
    const QString stored = m_settings.read(setting);
    if (!stored.isEmpty())
        window->restoreGeometry(QByteArray::fromBase64(stored.toLatin1()));
}

void TForm1::Open1Click()
{
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] { openSchedule(false); });
}

void TForm1::LastFileClick()
{
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] { openSchedule(true); });
}

void TForm1::Close1Click()
{
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] { closeSchedule(); });
}

void TForm1::openScheduleFile(const QString &path)
{
    if (busy() || path.isEmpty())
        return;
    commitOpenEditor();
    clearNotice();
    m_report->guard([this, &path] { openSchedule(false, QFileInfo(path).absoluteFilePath()); });
}

void TForm1::openFromArguments(const QStringList &arguments)
{
    // The first argument that is no option; Qt has taken its own already.
    QString argument;
    for (qsizetype i = 1; i < arguments.size() && argument.isEmpty(); ++i) {
        if (!arguments[i].startsWith(u'-'))
            argument = arguments[i];
    }
    if (argument.isEmpty())
        return;
    // A desktop that hands over a URL instead of a path.
    if (argument.startsWith(QStringLiteral("file:")))
        openScheduleFile(QUrl(argument).toLocalFile());
    else
        openScheduleFile(argument);
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (!busy() && data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (busy() || urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    openScheduleFile(urls.first().toLocalFile());
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    clearNotice();
    if (event->key() == Qt::Key_Escape && m_converting) {
        askToCancel();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_deepChecking) {
        m_stopDeepCheck = true;
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A close during a conversion run asks as Esc does: Yes stops the run,
    // with nothing written, and then closes; No goes on and forgets the close.
    if (m_converting) {
        event->ignore();
        askToCancel();
        if (m_cancelRequested)
            m_closeRequested = true;
        return;
    }
    if (m_deepChecking) {
        event->ignore();
        m_stopDeepCheck = true;
        m_closeRequested = true;
        return;
    }
    event->accept();
}

void TForm1::openSchedule(bool fromRecentFile, const QString &givenPath)
{
    // The recent-file item opens the file its caption names, read before the
    // close step refreshes the caption from the current file.
    const QString recentCaption = m_recentFile->text();
    setEditMode(false);
    closeSchedule();

    const QString previousFileName = m_openFileName;
    if (!givenPath.isEmpty()) {
        m_openFileName = givenPath;
    } else if (fromRecentFile) {
        m_openFileName = shownText(recentCaption);
    } else {
        FileDialogRequest request;
        request.filters = parseFilterText(kOpenFilter);
        request.initialFile = m_openFileName;
        request.defaultSuffix = QStringLiteral("csv");
        const std::optional<QString> chosen = m_interaction.openFile(request);
        if (!chosen)
            return;
        m_openFileName = *chosen;
    }

    // A workbook with several visible sheets asks for one, the last chosen
    // preselected; Esc cancels the open as the open dialog's Cancel does.
    const auto chooseSheet = [this](const QStringList &names) -> std::optional<int> {
        ChoiceRequest request;
        request.title = QStringLiteral("Выбор листа");
        request.label = QStringLiteral("Лист книги с расписанием:");
        request.items = names;
        request.selected = std::max(0, int(names.indexOf(m_settings.read(QStringLiteral("LastSheet")))));
        const std::optional<int> chosen = m_interaction.chooseItem(request);
        if (chosen)
            m_settings.write(QStringLiteral("LastSheet"), names.value(*chosen));
        return chosen;
    };
    std::optional<ScheduleTable> read = readSchedule(m_openFileName, chooseSheet);
    if (!read) {
        m_openFileName = previousFileName;
        return;
    }
    ScheduleTable table = std::move(*read);
    if (table.isEmpty())
        return;
    m_targetColumn = -1;
    autoSizeColumns(table, FontAdvanceMeasure(StringGrid1->font()));
    // A stored number that is not a number ends the open here; the workspace stays closed.
    applyStoredLayout(table, m_settings);

    const QString status = openedStatusText(m_openFileName, table);
    m_model->setTable(std::move(table));
    applyColumnWidths();
    m_progress = 0;
    setStatusText(status);
    Build1->setEnabled(true);
    StringGrid1->show();
    stretchLastColumn();
}

void TForm1::closeSchedule()
{
    setRunRow(0);
    m_model->setSourceColumn(-1);
    setEditMode(false);
    m_model->clear();
    StringGrid1->hide();
    if (!m_openFileName.isEmpty()) {
        m_recentMenu->menuAction()->setVisible(true);
        m_recentFile->setText(menuCaption(m_openFileName));
    }
    setStatusText(QString());
    Build1->setEnabled(false);
}

void TForm1::applyColumnWidths()
{
    const ScheduleTable &table = m_model->table();
    // With updates on, every resize finds its section's position anew, which
    // made a 100,000-column schedule take seconds to open.
    QHeaderView *header = StringGrid1->horizontalHeader();
    header->setUpdatesEnabled(false);
    for (int c = 0; c < table.columnCount(); ++c)
        StringGrid1->setColumnWidth(c, table.columnWidth(c));
    header->setUpdatesEnabled(true);
}

void TForm1::stretchLastColumn()
{
    const int columns = m_model->columnCount();
    if (columns == 0)
        return;
    // Qt's sections include their grid line, so no separate line width is taken off.
    int others = 0;
    for (int c = 0; c + 1 < columns; ++c)
        others += StringGrid1->columnWidth(c);
    const int width = StringGrid1->viewport()->width() - others;
    StringGrid1->setColumnWidth(columns - 1, std::max(width, kMinimumLastColumn));
}

void TForm1::commitOpenEditor()
{
    m_delegate->finishEditing();
}

void TForm1::setStatusText(const QString &text)
{
    m_statusText = text;
    StatusBar1->update();
}

void TForm1::setProgress(int percent)
{
    m_progress = std::clamp(percent, 0, 100);
    StatusBar1->repaint();
}

void TForm1::setEditMode(bool on)
{
    if (on) {
        if (!m_editMode)
            setStatusText(kEditPrefix + m_statusText);
    } else {
        commitOpenEditor();
        if (m_statusText.startsWith(kEditPrefix))
            setStatusText(m_statusText.mid(kEditPrefix.size()));
    }
    m_editMode = on;
    m_model->setEditable(on);
    StringGrid1->setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed
                                    : QAbstractItemView::NoEditTriggers);
    // The selection is whole rows, in and out of edit mode; the cell edited is the current one.
    StringGrid1->setClickEdits(on);
    m_delegate->setCurrentDrawnSelected(on);
    QPalette palette = StringGrid1->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(on ? QPalette::ToolTipBase : QPalette::Base));
    StringGrid1->setPalette(palette);
    StringGrid1->viewport()->update();
}

void TForm1::StringGrid1KeyDown(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F2 || busy())
        return;
    setEditMode(!m_editMode);
    StringGrid1->viewport()->update();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        clearNotice();
        if (keyEvent->key() == Qt::Key_Escape && m_converting) {
            askToCancel();
            return true;
        }
        if (keyEvent->key() == Qt::Key_Escape && m_deepChecking) {
            m_stopDeepCheck = true; // a check writes nothing: no question
            return true;
        }
        // The keyboard's way to the column popup, for the current column.
        if (watched == StringGrid1
            && (keyEvent->key() == Qt::Key_Menu
                || (keyEvent->key() == Qt::Key_F10 && keyEvent->modifiers() == Qt::ShiftModifier))) {
            popupForCurrentColumn();
            return true;
        }
        // F2, with any modifiers, only toggles edit mode: in the grid and in a cell editor alike.
        if (keyEvent->key() == Qt::Key_F2) {
            StringGrid1KeyDown(keyEvent);
            StringGrid1->setFocus();
            return true;
        }
    } else if (event->type() == QEvent::Resize && watched == StringGrid1->viewport()) {
        // The stretch follows the window's size, not the operator's border drags
        // (a scroll bar that appears changes the height only).
        const int width = StringGrid1->viewport()->width();
        if (width != m_lastViewportWidth) {
            m_lastViewportWidth = width;
            stretchLastColumn();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::StringGrid1ContextPopup(const QPoint &pos)
{
    if (busy() || pos.y() > StringGrid1->horizontalHeader()->height())
        return;
    // The column under the pointer, also when the grid is scrolled sideways.
    const int column = StringGrid1->horizontalHeader()->logicalIndexAt(pos.x());
    if (column < 0)
        return;
    m_targetColumn = column;
    PopupMenu1Popup();
    PopupMenu1->popup(StringGrid1->horizontalHeader()->mapToGlobal(pos));
}

void TForm1::popupForCurrentColumn()
{
    if (busy() || m_model->columnCount() == 0)
        return;
    QHeaderView *header = StringGrid1->horizontalHeader();
    const QModelIndex current = StringGrid1->currentIndex();
    const int column = current.isValid() ? current.column() : header->logicalIndexAt(0);
    if (column < 0)
        return;
    StringGrid1->scrollTo(m_model->index(current.isValid() ? current.row() : 0, column));
    m_targetColumn = column;
    PopupMenu1Popup();
    // Below the column's header cell, as a click there would show it.
    const int left = std::max(header->sectionViewportPosition(column), 0);
    PopupMenu1->popup(header->mapToGlobal(QPoint(left, header->height())));
}

void TForm1::PopupMenu1Popup()
{
    const QString caption = m_targetColumn >= 0 ? m_model->table().caption(m_targetColumn) : QString();
    setsrc->setVisible(caption.isEmpty());
    unsrc->setVisible(caption == kSourceCaption);
    setbr->setVisible(caption.isEmpty());
    unbr->setVisible(caption == kSeparatorCaption);
}

void TForm1::setsrcClick()
{
    if (m_targetColumn < 0 || !m_model->table().caption(m_targetColumn).isEmpty())
        return;
    const int previous = m_model->table().sourceColumn();
    if (previous >= 0)
        m_model->setCaption(previous, QString());
    m_model->setSourceColumn(m_targetColumn);
    m_model->setCaption(m_targetColumn, kSourceCaption);
}

void TForm1::unsrcClick()
{
    if (m_targetColumn < 0)
        return;
    m_model->setSourceColumn(-1);
    m_model->setCaption(m_targetColumn, QString());
}

void TForm1::setbrClick()
{
    if (m_targetColumn < 0 || !m_model->table().caption(m_targetColumn).isEmpty())
        return;
    m_model->setCaption(m_targetColumn, kSeparatorCaption);
}

void TForm1::unbrClick()
{
    if (m_targetColumn < 0)
        return;
    m_model->setCaption(m_targetColumn, QString());
}

void TForm1::StringGrid1DrawCell(QPainter &painter, const QRect &rect, const QModelIndex &index) const
{
    const bool focusedEditCell = m_editMode && index == StringGrid1->currentIndex();
    const QString caption = m_model->table().caption(index.column());
    // A row the workbook hides is dimmed, and a cell a merge fills from above
    // shows its text grey and slanted: neither goes on air.
    const bool hidden = index.data(ScheduleModel::RowHiddenRole).toBool();
    const bool merged = index.data(ScheduleModel::MergedCellRole).toBool();
    QColor fill;
    if (caption == kSourceCaption)
        fill = kSourceFill;
    else if (caption == kSeparatorCaption)
        fill = kSeparatorFill;
    else if (hidden || merged)
        fill = StringGrid1->palette().color(QPalette::Base);
    if (hidden && fill.isValid())
        fill = QColor((fill.red() + 2 * 160) / 3, (fill.green() + 2 * 160) / 3, (fill.blue() + 2 * 160) / 3);
    // A selected row keeps its roles' colours, half-covered by the selection's.
    if (fill.isValid() && StringGrid1->selectionModel()->isSelected(index)) {
        const QColor highlight = StringGrid1->palette().color(QPalette::Highlight);
        fill = QColor((fill.red() + highlight.red()) / 2, (fill.green() + highlight.green()) / 2,
            (fill.blue() + highlight.blue()) / 2);
    }
    painter.save();
    painter.setClipRect(rect);
    if (fill.isValid() && !focusedEditCell) {
        painter.fillRect(rect, fill);
        painter.setPen(hidden || merged ? QColor(96, 96, 96) : QColor(Qt::black));
        QFont font = painter.font();
        font.setItalic(merged);
        painter.setFont(font);
        painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
            index.data(Qt::DisplayRole).toString());
    }
    // The row a run is on, or stopped at: a frame around the whole row.
    if (m_runRow > 0 && index.row() == m_runRow - 1) {
        const QColor frame = palette().color(QPalette::Highlight);
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), kRunFrame), frame);
        painter.fillRect(QRect(rect.left(), rect.bottom() - kRunFrame + 1, rect.width(), kRunFrame), frame);
        if (index.column() == 0)
            painter.fillRect(QRect(rect.left(), rect.top(), kRunFrame, rect.height()), frame);
        if (index.column() == m_model->columnCount() - 1)
            painter.fillRect(
                QRect(rect.right() - kRunFrame + 1, rect.top(), kRunFrame, rect.height()), frame);
    }
    painter.restore();
}

void TForm1::StatusBar1DrawPanel(QPainter &painter, const QRect &panel) const
{
    const int barWidth = panel.width() * m_progress / 100;
    if (barWidth > 0)
        painter.fillRect(QRect(panel.left(), panel.top(), barWidth, panel.height()),
                         palette().color(QPalette::Highlight));
    // Outside a run the bar shows alone, as the progress a caller set.
    const QString text = m_progress == 0 || busy() ? shownStatusText() : QString();
    if (text.isEmpty())
        return;
    // Over the bar in the highlight's text colour, beside it in the window's.
    const QRect textRect = panel.adjusted(2, 0, 0, 0);
    const QRect bar(panel.left(), panel.top(), barWidth, panel.height());
    painter.save();
    painter.setClipRect(bar);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.setClipRect(panel.adjusted(barWidth, 0, 0, 0));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}

} // namespace lintaro
