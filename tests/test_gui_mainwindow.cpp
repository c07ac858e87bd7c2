#include "app/application.h"
#include "app/tform1.h"
#include "common/qtinteraction.h"
#include "lookup/clipresolver.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "schedule/scheduleimport.h"
#include "dialogs/tform7.h"
#include "schedule/schedulemodel.h"
#include "sequence/conversionrun.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/modaldriver.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace lintaro;
using test::ScriptedInteraction;

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")));
        m_schedule = m_dir.filePath(QStringLiteral("day.csv"));
        test::writeFile(m_schedule, test::cp1251(QStringLiteral(
                                        "06:00;Новости (N1);К1;x\r\n06:10;Ролик (R2);К1;y\r\n06:20;Фильм;К2;z\r\n")));
    }

    std::unique_ptr<TForm1> createWindow()
    {
        auto form = std::make_unique<TForm1>(m_interaction, *m_settings);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    void open(TForm1 &form, const QString &path)
    {
        m_interaction.answerPicker(path);
        form.Open1Click();
    }

    QColor cellColour(TForm1 &form, int column, int row)
    {
        QTableView *grid = form.grid();
        const QRect rect = grid->visualRect(form.model().index(row, column));
        const QImage image = grid->viewport()->grab().toImage();
        return image.pixelColor(rect.right() - 3, rect.center().y());
    }

    QTemporaryDir m_dir;
    ScriptedInteraction m_interaction;
    std::unique_ptr<SettingsStore> m_settings;
    QString m_schedule;
};

QStringList menuCaptions(const QMenu *menu)
{
    QStringList captions;
    for (const QAction *action : menu->actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

bool isEditing(const QTableView *grid)
{
    for (const QLineEdit *editor : grid->viewport()->findChildren<QLineEdit *>()) {
        if (editor->isVisible())
            return true;
    }
    return false;
}

} // namespace

TEST_F(MainWindowTest, StartsWithItsCaptionSizeAndMenusInOrder)
{
    auto form = createWindow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("VELMAR(R) Lintaro V1.2"));
    EXPECT_EQ(form->size(), QSize(423, 470));
    const QList<QMenu *> menus = form->menus();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->title(), QStringLiteral("&Файл"));
    EXPECT_EQ(menuCaptions(menus[0]),
              (QStringList{"&Открыть", "Открыть последний", "&Закрыть", "-", "Вы&ход"}));
    EXPECT_EQ(menus[1]->title(), QStringLiteral("&Конвертация"));
    EXPECT_EQ(menuCaptions(menus[1]), (QStringList { "&Конвертнуть", "&Проверить", "Проверить по&дробно" }));
    EXPECT_EQ(menuCaptions(menus[2]),
              (QStringList{"Директории поиска", "Сопоставления", "Аудио в отдельном файле",
                           "Типы файлов роликов", "Пути на монтажной станции"}));
    EXPECT_EQ(menuCaptions(menus[3]), (QStringList{"&Справка", "&О..."}));
    // Alt and one letter reach one item only, in the menu bar and in every menu.
    QList<QList<QAction *>> levels { form->menuBar()->actions() };
    for (const QMenu *menu : menus)
        levels.append(menu->actions());
    for (const QList<QAction *> &actions : levels) {
        QSet<int> keys;
        for (const QAction *action : actions) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
            if (mnemonic.isEmpty())
                continue;
            EXPECT_FALSE(keys.contains(mnemonic[0].key())) << action->text().toStdString();
            keys.insert(mnemonic[0].key());
        }
    }
    EXPECT_FALSE(form->conversionMenu()->isEnabled());
    EXPECT_FALSE(form->recentFileMenu()->menuAction()->isVisible());
    EXPECT_FALSE(form->grid()->isVisible());
    EXPECT_TRUE(m_interaction.messages.isEmpty());
}

TEST_F(MainWindowTest, OpeningShowsTheScheduleAndAsksWithItsFilters)
{
    auto form = createWindow();
    open(*form, m_schedule);
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    const FileDialogRequest &request = m_interaction.pickers[0].request;
    ASSERT_EQ(request.filters.size(), 4);
    EXPECT_EQ(request.filters[0].description, QStringLiteral("Файлы Excel (*.csv)"));
    EXPECT_EQ(request.filters[1].description, QStringLiteral("Книги Excel и Calc (*.xlsx *.ods)"));
    EXPECT_EQ(request.filters[1].pattern, QStringLiteral("*.xlsx;*.ods"));
    EXPECT_EQ(request.filters[3].pattern, QStringLiteral("*.*"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("csv"));

    EXPECT_TRUE(form->grid()->isVisible());
    EXPECT_TRUE(form->conversionMenu()->isEnabled());
    EXPECT_EQ(form->statusText(), m_schedule);
    EXPECT_EQ(form->model().rowCount(), 3);
    EXPECT_EQ(form->model().table().cell(1, 1), QStringLiteral("Новости (N1)"));
    EXPECT_TRUE(m_interaction.messages.isEmpty());

    // Cancelling the next open closes the schedule all the same.
    m_interaction.answerPicker(std::nullopt);
    form->Open1Click();
    EXPECT_FALSE(form->grid()->isVisible());
    EXPECT_FALSE(form->conversionMenu()->isEnabled());
    EXPECT_EQ(form->statusText(), QString());
    EXPECT_EQ(m_interaction.pickers[1].request.initialFile, m_schedule);
    EXPECT_EQ(form->recentFileAction()->text(), m_schedule);

    // A record with a line break inside quotes is one row, and the status bar says so.
    const QString quoted = m_dir.filePath(QStringLiteral("quoted.csv"));
    test::writeFile(quoted, "\"a\r\nb\";x\r\nc;y\r\n");
    open(*form, quoted);
    EXPECT_EQ(form->model().rowCount(), 2);
    EXPECT_EQ(form->statusText(), quoted + QStringLiteral(" — записей на нескольких строках: 1"));
}

TEST_F(MainWindowTest, AWorkbookAsksForItsSheetWithTheLastOnePreselected)
{
    const QString corpus
        = qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/../../fuzz/corpus/workbook/");
    const QString book = m_dir.filePath(QStringLiteral("day.xlsx"));
    QFile::copy(corpus + QStringLiteral("planning.xlsx"), book);
    auto form = createWindow();
    m_interaction.answerChoice(1);
    open(*form, book);
    ASSERT_EQ(m_interaction.choices.size(), 1);
    EXPECT_EQ(m_interaction.choices[0].title, QStringLiteral("Выбор листа"));
    EXPECT_EQ(m_interaction.choices[0].items, (QStringList { "Эфир", "Заметки" }));
    EXPECT_EQ(m_interaction.choices[0].selected, 0);
    EXPECT_EQ(form->model().table().cell(0, 1), QStringLiteral("только текст"));
    EXPECT_EQ(m_settings->read(QStringLiteral("LastSheet")), QStringLiteral("Заметки"));

    // The recent file asks again, the last sheet preselected; Esc cancels the open.
    m_interaction.answerChoice(std::nullopt);
    form->Close1Click();
    form->LastFileClick();
    ASSERT_EQ(m_interaction.choices.size(), 2);
    EXPECT_EQ(m_interaction.choices[1].selected, 1);
    EXPECT_FALSE(form->grid()->isVisible());
    EXPECT_FALSE(form->conversionMenu()->isEnabled());
    EXPECT_EQ(form->recentFileAction()->text(), book);

    m_interaction.answerChoice(0);
    open(*form, book);
    EXPECT_EQ(form->statusText(), book + QStringLiteral(" — формул без значения: 5"));
    EXPECT_EQ(form->model().table().cell(3, 2), QStringLiteral("0451"));
    // The hidden row is dimmed, the merged-over cassette cells marked.
    const QModelIndex hidden = form->model().index(4, 1);
    EXPECT_TRUE(hidden.data(ScheduleModel::RowHiddenRole).toBool());
    EXPECT_TRUE(form->model().index(2, 2).data(ScheduleModel::MergedCellRole).toBool());
    EXPECT_FALSE(form->model().index(1, 2).data(ScheduleModel::MergedCellRole).toBool());
    EXPECT_NE(cellColour(*form, 1, 4), cellColour(*form, 1, 3));

    // One visible sheet opens at once.
    open(*form, corpus + QStringLiteral("single.xlsx"));
    EXPECT_EQ(m_interaction.choices.size(), 3);
    EXPECT_EQ(form->model().table().cell(1, 3), QStringLiteral("(Rolik1)"));
    EXPECT_TRUE(m_interaction.scriptUsedUp());
}

TEST_F(MainWindowTest, BadFilesLeaveTheWorkspaceClosedWithAClearMessage)
{
    auto form = createWindow();
    const QString empty = m_dir.filePath(QStringLiteral("empty.csv"));
    test::writeFile(empty, QByteArray());
    open(*form, empty);
    EXPECT_FALSE(form->grid()->isVisible());
    EXPECT_TRUE(m_interaction.messages.isEmpty()); // an empty file says nothing

    const QString missing = m_dir.filePath(QStringLiteral("gone.csv"));
    open(*form, missing);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Cannot open file %1.").arg(missing));
    EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(form->conversionMenu()->isEnabled());

    open(*form, m_dir.path());
    EXPECT_EQ(m_interaction.messages.size(), 2);
    EXPECT_FALSE(form->grid()->isVisible());

#ifdef Q_OS_UNIX
    // A named pipe would wait for a writer for ever.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    open(*form, pipe);
    EXPECT_EQ(m_interaction.lastMessageText(), QStringLiteral("Cannot open file %1.").arg(pipe));
    EXPECT_FALSE(form->grid()->isVisible());
#endif

    // A very wide first line over many short lines opens like any schedule.
    const QString ragged = m_dir.filePath(QStringLiteral("ragged.csv"));
    test::writeFile(ragged, QByteArray(100000, ';') + "\r\n" + QByteArray("R;x\r\n").repeated(5000));
    const qsizetype shown = m_interaction.messages.size();
    open(*form, ragged);
    EXPECT_EQ(m_interaction.messages.size(), shown);
    EXPECT_TRUE(form->grid()->isVisible());
    EXPECT_EQ(form->model().columnCount(), 100001);
    EXPECT_EQ(form->model().index(5000, 1).data().toString(), QStringLiteral("x"));

    m_settings->write(QStringLiteral("ColWidths"), QStringLiteral("40;wide"));
    open(*form, m_schedule);
    EXPECT_EQ(m_interaction.lastMessageText(), QStringLiteral("'wide' is not a valid integer value."));
    EXPECT_FALSE(form->grid()->isVisible());
    EXPECT_FALSE(form->conversionMenu()->isEnabled());
}

TEST_F(MainWindowTest, StoredLayoutIsAppliedOnOpen)
{
    m_settings->write(QStringLiteral("ColWidths"), QStringLiteral("70;-5"));
    m_settings->write(QStringLiteral("Brakes"), QStringLiteral("0;0;1"));
    m_settings->write(QStringLiteral("Source"), QStringLiteral("1"));
    auto form = createWindow();
    open(*form, m_schedule);
    EXPECT_EQ(form->grid()->columnWidth(0), 70);
    EXPECT_EQ(form->grid()->columnWidth(1), 0);
    EXPECT_EQ(form->model().table().sourceColumn(), 1);
    EXPECT_EQ(form->model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), kSourceCaption);
    EXPECT_EQ(form->model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), kSeparatorCaption);
}

TEST_F(MainWindowTest, PopupOffersTheCommandsThatFitTheColumn)
{
    auto form = createWindow();
    open(*form, m_schedule);
    QHeaderView *header = form->grid()->horizontalHeader();
    const auto popupOn = [&](int column) {
        form->StringGrid1ContextPopup(QPoint(header->sectionViewportPosition(column) + 2, 3));
        form->popupMenu()->hide();
        QStringList visible;
        for (QAction *action : form->popupMenu()->actions()) {
            if (action->isVisible())
                visible.append(action->text());
        }
        return visible;
    };

    EXPECT_EQ(popupOn(1), (QStringList{"Назначить Источником", "Назначить Столбцом разделителей"}));
    form->setsrcClick();
    EXPECT_EQ(popupOn(1), QStringList{"Убрать Источник"});

    popupOn(3);
    form->setsrcClick(); // the Source moves: column 1 loses its role
    EXPECT_EQ(form->model().table().sourceColumn(), 3);
    EXPECT_EQ(form->model().table().caption(1), QString());

    popupOn(0);
    form->setbrClick();
    popupOn(2);
    form->setbrClick();
    EXPECT_EQ(form->model().table().separatorColumns(), (QList<int>{0, 2}));
    EXPECT_EQ(popupOn(2), QStringList{"Убрать разделители"});
    form->setsrcClick(); // not offered on a separator column, and does nothing
    EXPECT_EQ(form->model().table().caption(2), kSeparatorCaption);
    form->unbrClick();
    EXPECT_EQ(form->model().table().separatorColumns(), QList<int>{0});

    popupOn(3);
    form->unsrcClick();
    EXPECT_EQ(form->model().table().sourceColumn(), -1);

    // A click in a data row or past the last column marks nothing.
    const int target = form->targetColumn();
    form->StringGrid1ContextPopup(QPoint(5, header->height() + 20));
    form->StringGrid1ContextPopup(QPoint(header->length() + 50, 3));
    EXPECT_EQ(form->targetColumn(), target);
    EXPECT_FALSE(form->popupMenu()->isVisible());
}

TEST_F(MainWindowTest, MenuKeyAndShiftF10OpenThePopupForTheCurrentColumn)
{
    auto form = createWindow();
    open(*form, m_schedule);
    QTableView *grid = form->grid();
    grid->setFocus();
    grid->setCurrentIndex(form->model().index(1, 2));
    QTest::keyClick(grid, Qt::Key_Menu);
    ASSERT_TRUE(form->popupMenu()->isVisible());
    EXPECT_EQ(form->targetColumn(), 2);
    // The first item offered, chosen with the keyboard too.
    QTest::keyClick(form->popupMenu(), Qt::Key_Down);
    QTest::keyClick(form->popupMenu(), Qt::Key_Return);
    EXPECT_EQ(form->model().table().sourceColumn(), 2);

    grid->setCurrentIndex(form->model().index(0, 0));
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(form->popupMenu()->isVisible());
    EXPECT_EQ(form->targetColumn(), 0);
    form->popupMenu()->hide();
}

TEST_F(MainWindowTest, DataCellsArePaintedByTheirColumnsRole)
{
    auto form = createWindow();
    open(*form, m_schedule);
    QHeaderView *header = form->grid()->horizontalHeader();
    form->StringGrid1ContextPopup(QPoint(header->sectionViewportPosition(1) + 2, 3));
    form->popupMenu()->hide();
    form->setsrcClick();
    form->StringGrid1ContextPopup(QPoint(header->sectionViewportPosition(2) + 2, 3));
    form->popupMenu()->hide();
    form->setbrClick();

    EXPECT_EQ(cellColour(*form, 1, 0), QColor(0, 255, 0));
    EXPECT_EQ(cellColour(*form, 2, 2), QColor(255, 255, 0));
    EXPECT_NE(cellColour(*form, 0, 0), QColor(0, 255, 0));
    EXPECT_NE(cellColour(*form, 0, 0), QColor(255, 255, 0));

    form->unbrClick();
    EXPECT_NE(cellColour(*form, 2, 2), QColor(255, 255, 0));
}

TEST_F(MainWindowTest, F2TogglesEditModeAndOnlyEditModeEdits)
{
    LINTARO_UNIX_FIXTURE("keyboard focus, which Wine without a window manager does not give");
    auto form = createWindow();
    open(*form, m_schedule);
    QTableView *grid = form->grid();
    const QColor normalBase = grid->palette().color(QPalette::Base);

    // Outside edit mode neither a double click, typing nor F2's usual meaning edits.
    grid->setCurrentIndex(form->model().index(0, 0));
    const QRect cell = grid->visualRect(form->model().index(0, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClicks(grid, QStringLiteral("zz"));
    EXPECT_FALSE(isEditing(grid));
    EXPECT_EQ(form->model().table().cell(0, 1), QStringLiteral("06:00"));

    QTest::keyClick(grid, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_TRUE(form->isEditMode());
    EXPECT_EQ(form->statusText(), TForm1::kEditPrefix + m_schedule);
    EXPECT_EQ(grid->palette().color(QPalette::Base), QApplication::palette().color(QPalette::ToolTipBase));
    EXPECT_FALSE(isEditing(grid)); // F2 toggled, it did not open an editor

    QTest::keyClick(grid, Qt::Key_0); // typing opens the editor with that key
    ASSERT_TRUE(isEditing(grid));
    QWidget *editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("7:00"));
    QTest::keyClick(editor, Qt::Key_F2); // F2 inside the editor commits and leaves edit mode
    EXPECT_FALSE(form->isEditMode());
    EXPECT_EQ(form->model().table().cell(0, 1), QStringLiteral("07:00"));
    EXPECT_EQ(form->statusText(), m_schedule);
    EXPECT_EQ(grid->palette().color(QPalette::Base), normalBase);
}

TEST_F(MainWindowTest, LastColumnStretchesWithTheWindowButNotWithABorderDrag)
{
    // Enough rows for a vertical scroll bar, and columns that fit: no horizontal one.
    QByteArray rows;
    for (int i = 0; i < 40; ++i)
        rows += "06:00;(N1);K1\r\n";
    test::writeFile(m_schedule, rows);
    auto form = createWindow();
    open(*form, m_schedule);
    QTableView *grid = form->grid();
    QApplication::processEvents();
    EXPECT_TRUE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    const int columns = form->model().columnCount();
    const auto sumOfWidths = [&] {
        int sum = 0;
        for (int c = 0; c < columns; ++c)
            sum += grid->columnWidth(c);
        return sum;
    };
    EXPECT_EQ(sumOfWidths(), grid->viewport()->width());

    const int first = grid->columnWidth(0);
    const int last = grid->columnWidth(columns - 1);
    form->resize(form->width() + 100, form->height());
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(0), first);
    EXPECT_EQ(grid->columnWidth(columns - 1), last + 100);

    grid->horizontalHeader()->resizeSection(0, first + 30); // as a drag of the border does
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(columns - 1), last + 100);
}

TEST_F(MainWindowTest, ProgressBarWidthAndStatusTextOnlyAtZero)
{
    auto form = createWindow();
    open(*form, m_schedule);
    const QColor highlight = form->palette().color(QPalette::Highlight);
    const auto render = [&](int percent) {
        form->setProgress(percent);
        QImage image(400, 19, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        form->StatusBar1DrawPanel(painter, image.rect());
        painter.end();
        return image;
    };
    const auto countColour = [](const QImage &image, const QColor &colour) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, 10) == colour;
        return count;
    };
    const auto hasInk = [](const QImage &image, int fromX) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < image.width(); ++x)
                if (image.pixelColor(x, y) != Qt::white)
                    return true;
        return false;
    };

    const QImage half = render(50);
    EXPECT_EQ(countColour(half, highlight), 200);
    EXPECT_FALSE(hasInk(half, 200)); // no text while a run is in progress
    const QImage idle = render(0);
    EXPECT_EQ(countColour(idle, highlight), 0);
    EXPECT_TRUE(hasInk(idle, 0)); // the file path
    EXPECT_EQ(countColour(render(99), highlight), 396);
}

TEST_F(MainWindowTest, RecentFileAndSaveNameSurviveARestart)
{
    const QRect placed(QPoint(40, 30), QSize(700, 500));
    QPoint helpPlace;
    {
        auto form = createWindow();
        open(*form, m_schedule);
        form->setPsqFileName(QStringLiteral("/out/Day1^.K1.psq"));
        form->setGeometry(placed);
        TForm1::Windows windows;
        windows.form7 = new TForm7(form.get());
        form->attachWindows(windows);
        form->N8Click();
        windows.form7->move(windows.form7->pos() + QPoint(-50, 20));
        helpPlace = windows.form7->pos();
    }
    EXPECT_EQ(m_settings->read(QStringLiteral("LastCSV")), m_schedule);
    EXPECT_EQ(m_settings->read(QStringLiteral("LastPSQ")), QStringLiteral("/out/Day1^.K1.psq"));

    auto form = createWindow();
    EXPECT_EQ(form->geometry(), placed);
    TForm1::Windows windows;
    windows.form7 = new TForm7(form.get());
    form->attachWindows(windows);
    form->N8Click();
    EXPECT_EQ(windows.form7->pos(), helpPlace);
    EXPECT_EQ(windows.form7->size(), QSize(437, 342));
    windows.form7->hide();
    EXPECT_TRUE(form->recentFileMenu()->menuAction()->isVisible());
    EXPECT_EQ(form->recentFileAction()->text(), m_schedule);
    EXPECT_EQ(form->psqFileName(), QStringLiteral("/out/Day1^.K1.psq"));
    form->LastFileClick();
    EXPECT_TRUE(form->grid()->isVisible());
    EXPECT_EQ(m_interaction.pickers.size(), 1); // no dialog for the recent file

    // A caption that the menu gave an accelerator mark opens the path without it.
    form->recentFileAction()->setText(u'&' + m_schedule);
    form->Close1Click();
    form->recentFileAction()->setText(u'&' + m_schedule);
    form->LastFileClick();
    EXPECT_EQ(form->openFileName(), m_schedule);
    EXPECT_TRUE(form->grid()->isVisible());

    // While another schedule is open, the item names the previous file and opens it.
    const QString other = m_dir.filePath(QStringLiteral("other.csv"));
    test::writeFile(other, "a;b\r\n");
    open(*form, other);
    EXPECT_EQ(form->recentFileAction()->text(), m_schedule);
    form->LastFileClick();
    EXPECT_EQ(form->openFileName(), m_schedule);
    EXPECT_EQ(form->recentFileAction()->text(), other);

    // An "&" in the path is shown as "&", not taken for an accelerator, and opens that path.
    const QString ampersand = m_dir.filePath(QStringLiteral("R&D.csv"));
    test::writeFile(ampersand, "a;b\r\n");
    open(*form, ampersand);
    form->Close1Click();
    EXPECT_EQ(form->recentFileAction()->iconText(), ampersand);
    form->LastFileClick();
    EXPECT_EQ(form->openFileName(), ampersand);
    EXPECT_TRUE(form->grid()->isVisible());
}

TEST_F(MainWindowTest, ExitWithoutOpeningWritesEmptyValuesBack)
{
    { auto form = createWindow(); }
    EXPECT_EQ(m_settings->read(QStringLiteral("LastCSV")), QString());
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("file"));
    test::writeFile(blocker, "x");
    SettingsStore unwritable(test::uncreatablePath(blocker, QStringLiteral("s.ini")));
    {
        TForm1 form(m_interaction, unwritable);
    }
    EXPECT_EQ(m_interaction.lastMessageText(), QStringLiteral("Failed to set data for 'LastCSV'")); // "'" sorts before "."

}

TEST(OpenDialogFilters, PatternsMatchAnyLetterCaseAndAllFilesMeansEveryFile)
{
#ifdef Q_OS_WIN
    EXPECT_EQ(QtInteraction::caseInsensitivePattern(QStringLiteral("*.csv")), QStringLiteral("*.csv"));
    EXPECT_EQ(QtInteraction::qtFilterText(parseFilterText(QStringLiteral("Файлы Avi (*.avi)|*.AVI"))),
              QStringLiteral("Файлы Avi (*.avi) (*.AVI)"));
#else
    EXPECT_EQ(QtInteraction::caseInsensitivePattern(QStringLiteral("*.csv")), QStringLiteral("*.[cC][sS][vV]"));
    EXPECT_EQ(QtInteraction::qtFilterText(parseFilterText(QStringLiteral("Файлы Avi (*.avi)|*.AVI"))),
              QStringLiteral("Файлы Avi (*.avi) (*.[aA][vV][iI])"));
#endif
    EXPECT_EQ(QtInteraction::caseInsensitivePattern(QStringLiteral("*.*")), QStringLiteral("*"));
}

TEST(RealDialogs, TheSheetChoiceOpensWithEnterAndCancelsWithEsc)
{
    ChoiceRequest request;
    request.title = QStringLiteral("Выбор листа");
    request.items = { QStringLiteral("Эфир"), QStringLiteral("Заметки"), QStringLiteral("Резерв") };
    request.selected = 1;
    for (const Qt::Key key : { Qt::Key_Down, Qt::Key_Escape }) {
        test::ModalDriver driver([&](QWidget *modal) {
            EXPECT_EQ(modal->windowTitle(), request.title);
            auto *list = modal->findChild<QListWidget *>();
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->currentRow(), 1);
            QTest::keyClick(list, key);
            if (key != Qt::Key_Escape)
                QTest::keyClick(list, Qt::Key_Return);
        });
        const std::optional<int> chosen = QtInteraction().chooseItem(request);
        EXPECT_TRUE(driver.acted());
        EXPECT_EQ(chosen, key == Qt::Key_Escape ? std::nullopt : std::optional<int>(2));
    }
}

TEST(RealDialogs, MessageBoxesShowTheirTextAsPlainTextWithTheirButtonsAndDefault)
{
    const QString text = QStringLiteral("Не могу найти файл \"<i>x</i> R&D\"");
    struct Case
    {
        MessageButtons buttons;
        MessageIcon icon;
        QMessageBox::StandardButtons shown;
        QMessageBox::Icon shownIcon;
        MessageAnswer onEnter, onEsc;
    };
    const Case cases[] = {
        { MessageButtons::Ok, MessageIcon::Warning, QMessageBox::Ok, QMessageBox::Warning, MessageAnswer::Ok,
            MessageAnswer::Ok },
        { MessageButtons::YesNoCancel, MessageIcon::Question,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question,
            MessageAnswer::Yes, MessageAnswer::Cancel },
        // A stray Enter keeps things as they are.
        { MessageButtons::YesNo, MessageIcon::Error, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::Critical, MessageAnswer::No, MessageAnswer::No },
    };
    QtInteraction qtInteraction;
    Interaction &interaction = qtInteraction;
    for (const Case &c : cases) {
        for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Escape }) {
            SCOPED_TRACE(testing::Message() << int(c.buttons) << " key " << key);
            test::ModalDriver driver([&](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->windowTitle(), QStringLiteral("Ошибка конвертации"));
                EXPECT_EQ(box->textFormat(), Qt::PlainText);
                EXPECT_EQ(box->text(), text);
                EXPECT_EQ(box->standardButtons(), c.shown);
                EXPECT_EQ(box->icon(), c.shownIcon);
                QTest::keyClick(box, key);
            });
            EXPECT_EQ(interaction.message(QStringLiteral("Ошибка конвертации"), text, c.icon, c.buttons),
                key == Qt::Key_Return ? c.onEnter : c.onEsc);
            EXPECT_TRUE(driver.acted());
        }
    }
}

// A stray Enter on the question about a search folder that cannot be listed
// ends the conversion before its first row.
TEST(RealDialogs, EnterOnTheUnavailableFolderQuestionWritesNothing)
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("share"));
    test::writeFile(dir.filePath(QStringLiteral("Folders.cfg")), test::cp1251(gone + QStringLiteral("\r\n")));
    SearchFolderModel folders;
    folders.load(dir.filePath(QStringLiteral("Folders.cfg")));
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    SubstitutionModel substitutions(settings);
    test::ModalDriver driver([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), ClipResolver::unavailableQuestion(gone));
        QTest::keyClick(box, Qt::Key_Return);
    });
    QtInteraction interaction;
    ClipResolver resolver(folders, substitutions, interaction);
    ScheduleTable table = parseSchedule(u"(N1)\n");
    table.setSourceColumn(0);
    QString saveAs;
    const ConversionRun::Result result = ConversionRun(interaction, nullptr, resolver).run(table, saveAs, {});
    EXPECT_TRUE(driver.acted());
    EXPECT_EQ(result.outcome, ConversionRun::Outcome::Declined);
}

TEST(RealDialogs, OpenDialogShowsItsFiltersAndInitialFileAndATypedNameWithoutADotOpensThatFile)
{
    QTemporaryDir dir;
    for (const char *name : {"day", "day.csv", "night.csv"})
        test::writeFile(dir.filePath(QString::fromLatin1(name)), "a;b\r\n");
    FileDialogRequest request;
    request.filters = parseFilterText(QStringLiteral(
        "Файлы Excel (*.csv)|*.csv|Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*"));
    request.initialFile = dir.filePath(QStringLiteral("x.csv"));
    request.defaultSuffix = QStringLiteral("csv");

    QtInteraction qtInteraction;
    qtInteraction.setOwnDialogs(true);
    const auto typeAndOpen = [&](const QString &typed, QStringList *labels = nullptr) {
        test::ModalDriver driver([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            if (labels) {
                const auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
                for (int i = 0; types && i < types->count(); ++i)
                    labels->append(types->itemText(i));
                // It opens in the initial file's folder with that name filled in.
                EXPECT_EQ(QDir(dialog->directory()), QDir(dir.path()));
                EXPECT_EQ(name->text(), QStringLiteral("x.csv"));
            }
            test::enterFileName(dialog, typed);
        });
        return qtInteraction.openFile(request);
    };
    const auto native
        = [&](const char *name) { return QDir::toNativeSeparators(dir.filePath(QString::fromLatin1(name))); };
    QStringList labels;
    EXPECT_EQ(typeAndOpen(QStringLiteral("day"), &labels), native("day"));
    EXPECT_EQ(labels, (QStringList{"Файлы Excel (*.csv)", "Текстовые файлы (*.txt)", "Все файлы (*.*)"}));
    EXPECT_EQ(typeAndOpen(QStringLiteral("night")), native("night.csv"));

    request.filters = parseFilterText(QStringLiteral("*.psq|*.psq|Файлы Avi (*.avi)|*.AVI"));
    labels.clear();
    EXPECT_EQ(typeAndOpen(QStringLiteral("day.csv"), &labels), native("day.csv"));
    EXPECT_EQ(labels, (QStringList{"*.psq", "Файлы Avi (*.avi)"}));
}

TEST(RealDialogs, AFolderEndingInASeparatorOpensThereWithNoFileChosen)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows shows its own file dialog, whose fields a test cannot reach";
#endif
    QTemporaryDir dir;
    test::writeFile(dir.filePath(QStringLiteral("old.avi")), "x");
    FileDialogRequest request;
    request.filters = parseFilterText(QStringLiteral("Файлы Avi (*.avi)|*.AVI"));
    request.initialFile = dir.path() + u'/';
    test::ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        const auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(name->text().isEmpty());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(QtInteraction().openFile(request), std::nullopt);
    EXPECT_TRUE(driver.acted());
}

TEST(RealDialogs, QtsOwnTextsAreRussianWhenItsTranslationIsInstalled)
{
    const QString yes = QStringLiteral("&Yes");
    if (!loadQtTranslation(*QCoreApplication::instance()))
        GTEST_SKIP() << "Qt's Russian translation (qtbase_ru.qm, Debian: qt6-translations-l10n) is not installed";
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "&Yes"), yes);
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
}
