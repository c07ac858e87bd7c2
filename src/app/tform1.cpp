#include "tform1.h"

#include "app/deepcheckwindow.h"
#include "app/fontmeasure.h"
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
#include "sequence/conversionrun.h"
#include "sequence/deepcheck.h"
#include "schedule/columnlayout.h"
#include "schedule/rowuse.h"
#include "schedule/scheduleimport.h"
#include "schedule/schedulemodel.h"
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
#include <QScreen>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace lintaro {

namespace {

constexpr int kRowHeight = 14;
// The stretch never makes the last column narrower than a default column.
constexpr int kMinimumLastColumn = 64;

const QString kOpenFilter = QStringLiteral(
    "Файлы Excel (*.csv)|*.csv|Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*");

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

    StringGrid1 = new QTableView(m_backFrame);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(m_model);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
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
    DeepCheck1 = m_conversionMenu->addAction(QStringLiteral("Проверить &подробно"), this,
                                             [this] { DeepCheck1Click(); });
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
    if (m_windows.form7)
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
    const QModelIndex index = m_model->index(row - 1, std::max(0, m_model->table().sourceColumn()));
    StringGrid1->setCurrentIndex(index);
    StringGrid1->scrollTo(index, QAbstractItemView::PositionAtTop);
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
        const CheckRunResult result = checkSources(table, resolver, m_listings.get());
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
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] {
        const ScheduleTable &table = m_model->table();
        if (!sourceMarked())
            return;
        const ClipResolver resolver = checkResolver();
        const QString audioLocation = m_windows.form5 ? m_windows.form5->audioLocation() : QString();
        beginListingRun();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        DeepCheckReport report;
        try {
            report = deepCheck(table, resolver, audioLocation, m_listings.get());
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
        showEmptyRows(m_statusText, report.emptyRows);
        warnUnavailable(report.unavailableFolders);
        if (!m_deepCheck) {
            m_deepCheck = new DeepCheckWindow(m_interaction, this);
            m_deepCheck->rowActivated = [this](int row) {
                if (row < 1 || row >= m_model->table().rowCount())
                    return;
                showGridRow(row);
                StringGrid1->selectionModel()->select(StringGrid1->currentIndex(),
                                                      QItemSelectionModel::ClearAndSelect
                                                          | QItemSelectionModel::Rows);
                activateWindow();
            };
        }
        m_deepCheck->showReport(report);
        m_deepCheck->show();
        m_deepCheck->raise();
    });
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
    if (m_converting || !m_windows.form2 || !m_windows.form3)
        return;
    // Before the run makes the table read-only, which would refuse the text.
    commitOpenEditor();
    clearNotice();
    m_report->guard([this] {
        // Widths belong to the view; the stored layout takes them from there.
        for (int c = 0; c < m_model->columnCount(); ++c)
            m_model->setColumnWidth(c, StringGrid1->columnWidth(c));
        bringListsUpToDate();
        ClipResolver resolver(m_windows.form2->folders(), m_windows.form3->substitutions(), m_interaction);
        resolver.setClipTypes(cliptypes::read(m_settings));
        ConversionRun run(m_interaction, &m_settings, resolver);
        run.setFormat(m_format);
        run.setPathMap(PathMap::fromStored(m_settings.read(QStringLiteral("PathMap"))));
        beginListingRun();
        run.setListings(m_listings.get());

        // The grid and the status bar follow the run, but repainting and
        // handling events for every row would cost more than the run itself:
        // they happen at most every kRepaintIntervalMs, and whenever the
        // progress returns to 0 (the walk's end, any way out).
        m_pendingRow = 0;
        m_cancelRequested = false;
        m_repaintTimer.invalidate();
        ConversionRun::Hooks hooks;
        hooks.visitRow = [this](int row) { m_pendingRow = row; };
        hooks.progress = [this](int percent) {
            m_progress = std::clamp(percent, 0, 100);
            if (percent != 0 && m_repaintTimer.isValid() && m_repaintTimer.elapsed() < kRepaintIntervalMs)
                return;
            if (m_pendingRow > 0)
                showGridRow(m_pendingRow);
            StatusBar1->repaint();
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
        if (m_pendingRow > 0)
            showGridRow(m_pendingRow); // the grid stays at the last row visited
        if (result.outcome == ConversionRun::Outcome::Written) {
            if (result.files.isEmpty())
                m_notice = QStringLiteral("Конвертация завершена: конвертировать было нечего, файлы не записаны");
            else
                m_notice = QStringLiteral("Конвертация завершена: записано файлов: %1 в %2")
                               .arg(QString::number(result.files.size()),
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
    // While a run is in progress only the help menu stays open, and the table
    // the run is reading cannot be changed.
    m_converting = converting;
    for (QMenu *menu : {m_fileMenu, m_conversionMenu, m_settingsMenu})
        menu->menuAction()->setEnabled(!converting);
    if (!converting)
        Build1->setEnabled(m_model->columnCount() > 0);
    m_model->setEditable(m_editMode && !converting);
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
}

void TForm1::FormDestroy()
{
    m_settings.write(QStringLiteral("LastCSV"), m_openFileName);
    m_settings.write(QStringLiteral("LastPSQ"), m_psqFileName);
    m_settings.write(QStringLiteral("LastFormat"), formatInfo(m_format).key);
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
    if (m_converting || path.isEmpty())
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
    if (!m_converting && data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (m_converting || urls.isEmpty() || !urls.first().isLocalFile())
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
    QMainWindow::keyPressEvent(event);
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A close asked for during a conversion run waits until the run has ended.
    if (m_converting) {
        m_closeRequested = true;
        event->ignore();
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

    ScheduleTable table = readScheduleFile(m_openFileName);
    if (table.isEmpty())
        return;
    m_targetColumn = -1;
    autoSizeColumns(table, FontAdvanceMeasure(StringGrid1->font()));
    // A stored number that is not a number ends the open here; the workspace stays closed.
    applyStoredLayout(table, m_settings);

    m_model->setTable(std::move(table));
    applyColumnWidths();
    m_progress = 0;
    setStatusText(m_openFileName);
    Build1->setEnabled(true);
    StringGrid1->show();
    stretchLastColumn();
}

void TForm1::closeSchedule()
{
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
                                          | QAbstractItemView::SelectedClicked
                                    : QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(on ? QAbstractItemView::SingleSelection : QAbstractItemView::NoSelection);
    if (!on)
        StringGrid1->clearSelection();
    QPalette palette = StringGrid1->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(on ? QPalette::ToolTipBase : QPalette::Base));
    StringGrid1->setPalette(palette);
    StringGrid1->viewport()->update();
}

void TForm1::StringGrid1KeyDown(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F2 || m_converting)
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
    if (m_converting || pos.y() > StringGrid1->horizontalHeader()->height())
        return;
    // The column under the pointer, also when the grid is scrolled sideways.
    const int column = StringGrid1->horizontalHeader()->logicalIndexAt(pos.x());
    if (column < 0)
        return;
    m_targetColumn = column;
    PopupMenu1Popup();
    PopupMenu1->popup(StringGrid1->horizontalHeader()->mapToGlobal(pos));
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
    if (m_editMode && index == StringGrid1->currentIndex())
        return;
    const QString caption = m_model->table().caption(index.column());
    QColor fill;
    if (caption == kSourceCaption)
        fill = kSourceFill;
    else if (caption == kSeparatorCaption)
        fill = kSeparatorFill;
    else
        return;
    painter.setClipRect(rect);
    painter.fillRect(rect, fill);
    painter.setPen(Qt::black);
    painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     index.data(Qt::DisplayRole).toString());
}

void TForm1::StatusBar1DrawPanel(QPainter &painter, const QRect &panel) const
{
    const int barWidth = panel.width() * m_progress / 100;
    if (barWidth > 0)
        painter.fillRect(QRect(panel.left(), panel.top(), barWidth, panel.height()),
                         palette().color(QPalette::Highlight));
    if (m_progress == 0) {
        painter.setClipRect(panel);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(panel.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         shownStatusText());
    }
}

} // namespace lintaro
