#pragma once

#include "sequence/sequencewriter.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;
class QDialog;
class QFrame;
class QMenu;
class QPainter;
class QTableView;

namespace lintaro {

class ClipResolver;
class ClipTypesDialog;
class DeepCheckWindow;
class ErrorReport;
class Interaction;
class ListingCache;
class PathMapDialog;
class ScheduleCellDelegate;
class ScheduleModel;
class SettingsStore;
class StatusPanel;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;

// The main window: the schedule grid, its column roles and edit mode, the
// status bar and the menus from which every command starts.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("VELMAR(R) Lintaro V1.2");
    static inline const QString kEditPrefix = QStringLiteral("Режим редактирования: ");

    // The other windows, created after this one at start-up.
    struct Windows
    {
        TForm2 *form2 = nullptr; // search folders
        TForm3 *form3 = nullptr; // substitutions
        TForm4 *form4 = nullptr; // unknown files
        TForm5 *form5 = nullptr; // audio placement
        TForm6 *form6 = nullptr; // About box
        TForm7 *form7 = nullptr; // help
        ClipTypesDialog *clipTypes = nullptr;
        PathMapDialog *pathMap = nullptr; // paths on the editing station
    };
    // Shows one of our own windows modally; tests replace it to drive the window.
    using ModalRunner = std::function<void(QDialog &)>;

    TForm1(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);
    ~TForm1() override;

    void attachWindows(const Windows &windows) { m_windows = windows; }
    void setModalRunner(ModalRunner runner) { m_runModal = std::move(runner); }

    // Menu commands.
    void Open1Click();
    void LastFileClick();
    void Close1Click();
    void Exit1Click();
    void Build1Click(); // "&Конвертнуть"
    void N6Click();     // "&Проверить"
    void DeepCheck1Click(); // "Проверить &подробно"
    void N3Click();     // "Директории поиска"
    void N4Click();     // "Сопоставления"
    void N7Click();     // "Аудио в отдельном файле"
    void N9Click();     // "Типы файлов роликов"
    void PathMapClick(); // "Пути на монтажной станции"
    void N8Click();     // "&Справка"
    void Help1Click();  // "&О..."

    // Opens a schedule named on the command line or dropped on the window,
    // through the open command as "&Открыть" would.
    void openScheduleFile(const QString &path);
    // The first argument after the program's name, if any, is a schedule to open.
    void openFromArguments(const QStringList &arguments);

    // The conversion run asks at most this often whether to repaint.
    static constexpr int kRepaintIntervalMs = 40;
    static inline const QString kCancelCaption = QStringLiteral("Конвертация");
    static inline const QString kCancelQuestion = QStringLiteral("Прервать конвертацию?");

    // Header-row popup: pos in the header's coordinates.
    void StringGrid1ContextPopup(const QPoint &pos);
    void PopupMenu1Popup();
    void setsrcClick();
    void unsrcClick();
    void setbrClick();
    void unbrClick();

    // Painting, after the grid has drawn a cell in the ordinary way.
    void StringGrid1DrawCell(QPainter &painter, const QRect &rect, const QModelIndex &index) const;
    void StatusBar1DrawPanel(QPainter &painter, const QRect &panel) const;
    void StringGrid1KeyDown(QKeyEvent *event);

    // The progress the conversion run shows, 0 to 100; the panel repaints at once.
    void setProgress(int percent);
    int progress() const { return m_progress; }
    QString statusText() const { return m_statusText; }
    // What the status panel shows: a run's result until the next command or key, else the status text.
    QString shownStatusText() const { return m_notice.isEmpty() ? m_statusText : m_notice; }
    DeepCheckWindow *deepCheckWindow() const { return m_deepCheck; }
    ListingCache &listings() const { return *m_listings; }
    bool isEditMode() const { return m_editMode; }
    bool isConverting() const { return m_converting; }
    int targetColumn() const { return m_targetColumn; }

    // The open and save dialogs' current file names (LastCSV and LastPSQ).
    QString openFileName() const { return m_openFileName; }
    QString psqFileName() const { return m_psqFileName; }
    void setPsqFileName(const QString &name) { m_psqFileName = name; }
    // The format last chosen in the save dialog (LastFormat).
    SequenceFormat sequenceFormat() const { return m_format; }

    ScheduleModel &model() const { return *m_model; }
    QTableView *grid() const { return StringGrid1; }
    QWidget *statusPanel() const;
    QMenu *popupMenu() const { return PopupMenu1; }
    QAction *recentFileAction() const { return m_recentFile; }
    QMenu *recentFileMenu() const { return m_recentMenu; }
    QAction *conversionMenu() const { return Build1; }
    QList<QMenu *> menus() const;

    // Widens or narrows the last column so the columns fill the grid.
    void stretchLastColumn();

    // Stores the text of a cell editor still open, and closes it. Every command
    // that reads or replaces the schedule table calls it first, so a cell typed
    // into without Enter counts as edited.
    void commitOpenEditor();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void createMenus();
    void openSchedule(bool fromRecentFile, const QString &givenPath = QString());
    void beginListingRun();
    // The check commands' start: false, after the warning when no Source
    // column is marked; then their quiet resolver over the dialogs' lists.
    bool sourceMarked();
    ClipResolver checkResolver();
    // A check's or a conversion's count of rows without a clip, after its status.
    void showEmptyRows(const QString &status, int emptyRows);
    // One box, before the list or the report, naming each folder that could not be listed.
    void warnUnavailable(const QStringList &folders);
    // Folders.cfg and Subst.cfg as they are on disk now, when another program
    // changed them since their dialogs last loaded or saved them.
    void bringListsUpToDate();
    void showGridRow(int row);
    void askToCancel();
    void clearNotice();
    void closeSchedule();
    void setEditMode(bool on);
    void applyColumnWidths();
    void setStatusText(const QString &text);
    void setConverting(bool converting);
    void runModal(QDialog *dialog);

    Interaction &m_interaction;
    SettingsStore &m_settings;
    std::unique_ptr<ErrorReport> m_report;

    ScheduleModel *m_model = nullptr;
    QTableView *StringGrid1 = nullptr;
    ScheduleCellDelegate *m_delegate = nullptr;
    QFrame *m_backFrame = nullptr;
    StatusPanel *StatusBar1 = nullptr;

    QMenu *PopupMenu1 = nullptr;
    QAction *setsrc = nullptr;
    QAction *unsrc = nullptr;
    QAction *setbr = nullptr;
    QAction *unbr = nullptr;

    QMenu *m_fileMenu = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_recentFile = nullptr;
    QAction *Build1 = nullptr;
    QMenu *m_conversionMenu = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QAction *N5 = nullptr;
    QAction *N6 = nullptr;
    QAction *DeepCheck1 = nullptr;
    DeepCheckWindow *m_deepCheck = nullptr;
    std::unique_ptr<ListingCache> m_listings;

    Windows m_windows;
    ModalRunner m_runModal;
    bool m_converting = false;
    bool m_closeRequested = false;
    bool m_cancelRequested = false;
    bool m_askingToCancel = false;
    QElapsedTimer m_repaintTimer;
    int m_pendingRow = 0;
    QString m_notice;

    QString m_openFileName;
    QString m_psqFileName;
    SequenceFormat m_format = SequenceFormat::Psq;
    QString m_statusText;
    int m_progress = 0;
    int m_targetColumn = -1;
    bool m_editMode = false;
    int m_lastViewportWidth = -1;
};

} // namespace lintaro
