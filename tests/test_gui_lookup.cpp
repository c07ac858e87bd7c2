// The search folder and substitution dialogs, driven as the operator drives them.
#include "common/qtinteraction.h"
#include "lookup/cliptypesdialog.h"
#include "lookup/gridcelldelegate.h"
#include "lookup/tform2.h"
#include "lookup/tform3.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/modaldriver.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <QAbstractItemModelTester>

using namespace lintaro;

namespace {

class LookupDialogs : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("LINTARO_CONFIG_DIR", m_dir.path().toLocal8Bit()); }
    void TearDown() override { qunsetenv("LINTARO_CONFIG_DIR"); }

    QString foldersFile() const { return m_dir.filePath(QStringLiteral("Folders.cfg")); }
    QString substFile() const { return m_dir.filePath(QStringLiteral("Subst.cfg")); }

    static void closeWithOk(QDialog &dialog, QPushButton *ok)
    {
        dialog.show();
        ok->click();
        EXPECT_FALSE(dialog.isVisible());
    }

    QTemporaryDir m_dir;
    SettingsStore m_settings{m_dir.filePath(QStringLiteral("settings.ini"))};
    test::ScriptedInteraction m_interaction;
};

QStringList shownFolders(const TForm2 &form)
{
    return form.folders().list().texts();
}

} // namespace

TEST_F(LookupDialogs, FoldersWithoutAFileShowOneEmptyRowAndCloseWritesZeroBytes)
{
    TForm2 form(m_interaction);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Директории для поиска"));
    EXPECT_EQ(form.StringGrid1->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Директории для поиска"));
    EXPECT_EQ(shownFolders(form), QStringList{""});
    closeWithOk(form, form.Button2);
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray());
    EXPECT_TRUE(QFileInfo::exists(foldersFile()));
    EXPECT_TRUE(m_interaction.messages.isEmpty());
}

TEST_F(LookupDialogs, AddedFolderGoesBelowTheEmptyRowUntilTheClose)
{
    TForm2 form(m_interaction);
    form.show();
    m_interaction.answerPicker(QStringLiteral("/srv/clips"));
    form.Button1->click();
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    EXPECT_EQ(m_interaction.pickers[0].kind, test::ScriptedInteraction::PickerKind::Folder);
    EXPECT_EQ(m_interaction.pickers[0].request.title, QStringLiteral("Выберите директорию для поиска авишек"));
    EXPECT_EQ(shownFolders(form), (QStringList{"", "/srv/clips"}));

    m_interaction.answerPicker(std::nullopt); // cancelled: nothing changes
    form.Button1->click();
    EXPECT_EQ(form.folders().rowCount(), 2);

    form.Button2->click();
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("/srv/clips\r\n"));
    EXPECT_EQ(shownFolders(form), QStringList{"/srv/clips"});
}

TEST_F(LookupDialogs, RealFolderBrowserShowsOnlyFoldersAndAddsTheOneChosen)
{
    const QString clips = m_dir.filePath(QStringLiteral("ролики"));
    QDir().mkpath(clips);
    QtInteraction real;
    real.setOwnDialogs(true);
    TForm2 form(real);
    form.show();
    test::ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Выберите директорию для поиска авишек"));
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
        test::enterFileName(dialog, QDir::toNativeSeparators(clips));
    });
    form.Button1->click();
    EXPECT_TRUE(driver.acted());
    EXPECT_EQ(shownFolders(form), (QStringList { "", QDir::toNativeSeparators(clips) }));
    form.hide();
}

TEST_F(LookupDialogs, DeleteAsksAndOnlyYesDeletes)
{
    test::writeFile(foldersFile(), "a\r\nb\r\nc\r\n");
    TForm2 form(m_interaction);
    form.show();
    form.StringGrid1->setCurrentIndex(form.folders().index(1, 0));

    m_interaction.answerMessage(MessageAnswer::No);
    form.Button4->click();
    m_interaction.answerMessage(MessageAnswer::Cancel);
    form.Button4->click();
    EXPECT_EQ(shownFolders(form), (QStringList{"a", "b", "c"}));
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Удаление записи"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Действительно удалить?"));
    EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(m_interaction.messages[0].buttons, MessageButtons::YesNoCancel);

    m_interaction.answerMessage(MessageAnswer::Yes);
    form.Button4->click();
    EXPECT_EQ(shownFolders(form), (QStringList{"a", "c"}));
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("a\r\nb\r\nc\r\n")); // only a close writes
    form.hide();
}

TEST_F(LookupDialogs, ReturnDeletesNoFolderButClosesTheSubstitutions)
{
    test::writeFile(foldersFile(), "a\r\nb\r\n");
    m_interaction.setAcceptUnscriptedMessages(false); // a delete question would fail the test
    TForm2 folders(m_interaction);
    folders.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&folders));
    folders.StringGrid1->setFocus();
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(folders.StringGrid1, Qt::Key_Return);
    EXPECT_TRUE(m_interaction.messages.isEmpty());
    EXPECT_EQ(shownFolders(folders), (QStringList{"a", "b"}));
    for (const QPushButton *button : {folders.Button1, folders.Button2, folders.Button4})
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
    folders.hide();

    TForm3 substitutions(m_interaction, m_settings);
    substitutions.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&substitutions));
    substitutions.StringGrid1->setFocus();
    QTest::keyClick(substitutions.StringGrid1, Qt::Key_Return);
    EXPECT_FALSE(substitutions.isVisible()); // "ОК", the default button
    EXPECT_EQ(substitutions.result(), QDialog::Accepted);
}

TEST_F(LookupDialogs, TabLeavesTheGridTheButtonsHaveTheirOwnKeysAndDeleteGoesBackToTheGrid)
{
    LINTARO_UNIX_FIXTURE("keyboard focus, which Wine without a window manager does not give");
    test::writeFile(foldersFile(), "a\r\nb\r\n");
    TForm2 folders(m_interaction);
    TForm3 substitutions(m_interaction, m_settings);
    struct Window
    {
        QDialog *dialog;
        QTableView *grid;
        QList<QPushButton *> buttons; // in tab order, "ОК" last
        QPushButton *remove;
    };
    const QList<Window> windows { { &folders, folders.StringGrid1,
                                      { folders.Button4, folders.Button1, folders.Button2 },
                                      folders.Button4 },
        { &substitutions, substitutions.StringGrid1,
            { substitutions.Button3, substitutions.Button4, substitutions.Button1, substitutions.Button2 },
            substitutions.Button4 } };
    for (const Window &window : windows) {
        SCOPED_TRACE(window.dialog->windowTitle().toStdString());
        QSet<int> keys;
        for (const QPushButton *button : window.buttons) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            ASSERT_FALSE(mnemonic.isEmpty()) << button->text().toStdString();
            EXPECT_FALSE(keys.contains(mnemonic[0].key())) << button->text().toStdString();
            keys.insert(mnemonic[0].key());
        }
        window.dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.dialog));
        EXPECT_EQ(QApplication::focusWidget(), window.grid);

        // In a cell editor Tab keeps to the grid; outside it, it leaves the grid.
        window.grid->setCurrentIndex(window.grid->model()->index(0, 0));
        QTest::keyClick(window.grid, Qt::Key_F2);
        ASSERT_NE(QApplication::focusWidget(), window.grid) << "an editor is open";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(window.grid->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_EQ(QApplication::focusWidget(), window.grid);
        QTest::keyClick(window.grid, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window.buttons[0]);

        // "Удалить" by its key and by Space: the focus goes back to the grid.
        const QKeyCombination key = QKeySequence::mnemonic(window.remove->text())[0];
        m_interaction.answerMessage(MessageAnswer::No);
        // With its text: QTest cannot make one for a Cyrillic key.
        const qsizetype asked = m_interaction.messages.size();
        QTest::sendKeyEvent(QTest::Click, window.buttons[0], key.key(), QString(QChar(key.key())).toLower(),
            key.keyboardModifiers());
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return m_interaction.messages.size() > asked; })); // an animated click
        window.remove->setFocus();
        m_interaction.answerMessage(MessageAnswer::Cancel);
        QTest::keyClick(window.remove, Qt::Key_Space);
        EXPECT_EQ(QApplication::focusWidget(), window.grid);
        EXPECT_TRUE(m_interaction.scriptUsedUp());

        // Shown again, it opens on the grid, not on the button last pressed.
        window.buttons.back()->setFocus();
        window.dialog->hide();
        window.dialog->show();
        EXPECT_EQ(window.dialog->focusWidget(), window.grid);
        window.dialog->hide();
    }
    EXPECT_EQ(shownFolders(folders), (QStringList { "a", "b" }));
}

TEST_F(LookupDialogs, FailedSaveAtCloseIsReportedAndKeepsTheRows)
{
    LINTARO_UNIX_FIXTURE("a file size limit");
    test::writeFile(foldersFile(), "old\r\n");
    TForm2 form(m_interaction);
    form.show();
    m_interaction.answerPicker(QStringLiteral("/a/folder/name/long/enough/to/pass/the/limit"));
    form.Button1->click();
    {
        test::FileSizeLimit limit(4);
        form.Button2->click();
    }
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Stream write error."));
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("old\r\n"));
    EXPECT_EQ(shownFolders(form), (QStringList{"old", "/a/folder/name/long/enough/to/pass/the/limit"}));
}

TEST_F(LookupDialogs, UnreadableFileAtCreationIsReportedAndTheListStartsEmpty)
{
    QDir().mkpath(substFile()); // a folder in the file's place
    TForm3 form(m_interaction, m_settings);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Cannot open file %1.").arg(substFile()));
    EXPECT_EQ(form.substitutions().table().rows(), QList<Substitution>{{}});
}

TEST_F(LookupDialogs, SubstitutionDialogAddsPicksDeletesAndSaves)
{
    test::writeFile(substFile(), "Intro;C:\\intro.avi\r\n");
    TForm3 form(m_interaction, m_settings);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Известные подстановки"));
    const QAbstractItemModel *model = form.StringGrid1->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("По эфирному листу"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Имя файла"));
    EXPECT_TRUE(form.Button2->isDefault());
    form.show();

    form.Button3->click();
    form.StringGrid1->setCurrentIndex(model->index(1, 1)); // the path column: the row counts
    m_interaction.answerPicker(QStringLiteral("/clips/new.avi"));
    form.Button1->click();
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    EXPECT_EQ(m_interaction.pickers[0].request.title, QStringLiteral("Укажите файл \" \""));
    EXPECT_EQ(form.substitutions().table().row(1), (Substitution{"", "/clips/new.avi"}));

    form.StringGrid1->setCurrentIndex(model->index(0, 0));
    m_interaction.answerMessage(MessageAnswer::Yes);
    form.Button4->click();
    form.Button2->click();
    EXPECT_EQ(test::readFile(substFile()), QByteArray(" ; /clips/new.avi\r\n"));
    EXPECT_EQ(m_settings.read("LastSubst"), QStringLiteral("/clips/new.avi"));

    // The only row deleted: one row, both texts empty.
    form.show();
    m_interaction.answerMessage(MessageAnswer::Yes);
    form.Button4->click();
    EXPECT_EQ(form.substitutions().table().rows(), QList<Substitution>{{}});
    form.hide();
    EXPECT_EQ(test::readFile(substFile()), QByteArray());

    // Another program changes the file while the dialog is open: the close
    // merges, in the file's order, the dialog's additions last, and a box says what it did.
    test::writeFile(
        substFile(), "Promo ; /old.avi\r\nIntro ; /intro.avi\r\nAds ; /ads.avi\r\nKino ; /kino.avi\r\n");
    form.substitutions().load(substFile());
    form.show();
    test::writeFile(
        substFile(), "News ; /news.avi\r\nPromo ; /new.avi\r\nIntro ; /intro.avi\r\nKino ; /k.avi\r\n");
    ASSERT_TRUE(form.substitutions().setData(model->index(1, 1), QStringLiteral("/intro2.avi")));
    form.StringGrid1->setCurrentIndex(model->index(3, 0));
    m_interaction.answerMessage(MessageAnswer::Yes);
    form.Button4->click(); // Kino, changed outside, deleted here
    form.Button3->click();
    ASSERT_TRUE(form.substitutions().setData(model->index(3, 0), QStringLiteral("Film")));
    form.Button2->click();
    EXPECT_EQ(test::readFile(substFile()),
        QByteArray("News ; /news.avi\r\nPromo ; /new.avi\r\nIntro ; /intro2.avi\r\nFilm ; \r\n"));
    ASSERT_EQ(m_interaction.messages.size(), 4);
    EXPECT_EQ(m_interaction.messages[3].caption, QStringLiteral("Известные подстановки"));
    EXPECT_EQ(m_interaction.messages[3].text,
        QStringLiteral("Файл изменен другой программой: добавлено 1, изменено 2, удалено 1"));
}

TEST_F(LookupDialogs, FoldersChangedOutsideWhileOpenAreMergedOnClose)
{
    test::writeFile(foldersFile(), "/a\r\n/b\r\n/c\r\n");
    TForm2 form(m_interaction);
    form.show();
    test::writeFile(foldersFile(), "/a\r\n/c\r\n/d\r\n"); // /b removed, /d added outside
    form.StringGrid1->setCurrentIndex(form.StringGrid1->model()->index(0, 0));
    m_interaction.answerMessage(MessageAnswer::Yes);
    form.Button4->click();
    m_interaction.answerPicker(QStringLiteral("/e"));
    form.Button1->click();
    form.Button2->click();
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("/c\r\n/d\r\n/e\r\n"));
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(m_interaction.messages[1].caption, QStringLiteral("Директории для поиска"));
    EXPECT_EQ(m_interaction.messages[1].text,
        QStringLiteral("Файл изменен другой программой: добавлено 1, удалено 1"));

    // A save that waits in vain for another program's lock says so and keeps the rows.
    QLockFile other(foldersFile() + QStringLiteral(".lock"));
    ASSERT_TRUE(other.lock());
    form.show();
    form.folders().appendFolder(QStringLiteral("/f"));
    form.Button2->click();
    ASSERT_EQ(m_interaction.messages.size(), 3);
    EXPECT_EQ(m_interaction.messages[2].text,
        QStringLiteral("Файл занят другой программой: %1.").arg(QDir::toNativeSeparators(foldersFile())));
    EXPECT_EQ(shownFolders(form), (QStringList { "/c", "/d", "/e", "/f" }));
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("/c\r\n/d\r\n/e\r\n"));
}

TEST_F(LookupDialogs, LastSubstIsRememberedOnCloseAndOpensThePickerNextRun)
{
    {
        TForm3 form(m_interaction, m_settings);
        form.show();
        m_interaction.answerPicker(QStringLiteral("/clips/picked.avi"));
        form.Button1->click();
        form.close(); // the close box closes the same way
        EXPECT_EQ(m_settings.read("LastSubst"), QStringLiteral("/clips/picked.avi"));
    }
    TForm3 next(m_interaction, m_settings);
    next.show();
    m_interaction.answerPicker(std::nullopt);
    next.Button1->click();
    ASSERT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.pickers[1].request.initialFile, QStringLiteral("/clips/picked.avi"));
    EXPECT_EQ(m_interaction.pickers[1].request.filters[0].description, QStringLiteral("Файлы Avi (*.avi)"));
    next.hide();
}

TEST_F(LookupDialogs, ClipTypesWindowShowsTheStoredOrderAndStoresOnEveryClose)
{
    LINTARO_UNIX_FIXTURE("keyboard focus, which Wine without a window manager does not give");
    m_settings.write("ClipTypes", "mxf;avi");
    ClipTypesDialog dialog(m_interaction, m_settings);
    dialog.show();
    QListWidget *list = dialog.typeList();
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"mxf", "avi", "mov", "mp4", "mkv"}));
    EXPECT_EQ(dialog.chosenTypes(), (QStringList{"mxf", "avi"}));
    EXPECT_EQ(list->visualItemRect(list->item(1)).height(), 14);

    // Nothing ticked is refused, by OK and by Esc alike, and the window stays.
    for (int i = 0; i < 2; ++i)
        list->item(i)->setCheckState(Qt::Unchecked);
    dialog.okButton()->click();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(m_interaction.messages[1].text, ClipTypesDialog::kNothingChosen);
    EXPECT_EQ(m_settings.read("ClipTypes"), QStringLiteral("mxf;avi"));

    // Esc stores what the window shows, like OK.
    list->item(1)->setCheckState(Qt::Checked);
    list->item(3)->setCheckState(Qt::Checked); // mp4, moved above avi
    list->setCurrentRow(3);
    dialog.upButton()->click();
    dialog.upButton()->click();
    dialog.okButton()->setFocus();
    QTest::keyClick(dialog.okButton(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(m_settings.read("ClipTypes"), QStringLiteral("mp4;avi"));

    // Shown again, it opens on the list, not on the button pressed last.
    dialog.show();
    EXPECT_EQ(dialog.focusWidget(), list);
    dialog.close();
    EXPECT_EQ(m_settings.read("ClipTypes"), QStringLiteral("mp4;avi"));
    m_settings.write("ClipTypes", "mxf;mp4;avi");

    // The substitution picker then shows the chosen types.
    TForm3 form(m_interaction, m_settings);
    form.show();
    m_interaction.answerPicker(std::nullopt);
    form.Button1->click();
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    EXPECT_EQ(m_interaction.pickers[0].request.filters[0].description, QStringLiteral("Видеофайлы (*.mxf *.mp4 *.avi)"));
    form.hide();
}

TEST_F(LookupDialogs, CellEditThatTheFileCannotCarryIsRefusedAndOfferedAgain)
{
    LINTARO_UNIX_FIXTURE("keyboard focus, which Wine without a window manager does not give");
    TForm3 form(m_interaction, m_settings);
    form.show();
    QTableView *grid = form.StringGrid1;
    const QModelIndex name = grid->model()->index(0, 0);
    grid->setCurrentIndex(name);
    grid->edit(name);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(name));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Новости; 12"));
    form.Button2->click(); // the close commits the open editor first
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(m_interaction.messages[0].text.contains(QStringLiteral("Новости; 12")));
    EXPECT_EQ(form.substitutions().table().row(0).name, QString());

    // While the window is open, the editor comes back holding the refused text.
    form.show();
    grid->setCurrentIndex(name);
    grid->edit(name);
    editor = qobject_cast<QLineEdit *>(grid->indexWidget(name));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("\u4E2D"));
    emit grid->itemDelegate()->commitData(editor);
    emit grid->itemDelegate()->closeEditor(editor);
    // The editor comes back once the events the refusals queued have run; a
    // slow run may need more than one round of them.
    QLineEdit *again = nullptr;
    QTest::qWaitFor(
        [&] {
            again = qobject_cast<QLineEdit *>(grid->indexWidget(name));
            return again && again->text() == QStringLiteral("\u4E2D");
        },
        3000);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->text(), QStringLiteral("\u4E2D"));
    again->setText(QStringLiteral("Новости"));
    form.Button2->click();
    EXPECT_EQ(form.substitutions().table().row(0).name, QStringLiteral("Новости"));
    EXPECT_EQ(test::readFile(substFile()), test::cp1251(QStringLiteral("Новости ; \r\n")));
}

TEST_F(LookupDialogs, LayoutFollowsTheWindowSize)
{
    TForm3 form(m_interaction, m_settings);
    form.show();
    form.resize(600, 400);
    EXPECT_EQ(form.StringGrid1->geometry(), QRect(0, 0, 598, 400 - 25 - 2));
    EXPECT_EQ(form.Button3->geometry(), QRect(8, 374, 75, 25));
    EXPECT_EQ(form.Button4->pos(), QPoint(88, 374));
    EXPECT_EQ(form.Button1->pos(), QPoint(168, 374));
    EXPECT_EQ(form.Button2->geometry().right(), 600 - 2 - 1);
    const QTableView *grid = form.StringGrid1;
    EXPECT_EQ(grid->columnWidth(0), 210);
    EXPECT_EQ(grid->columnWidth(0) + grid->columnWidth(1), grid->viewport()->width() - 1);
    EXPECT_EQ(grid->rowHeight(0), 14);
    // A path too long for its column shows its both ends, and the whole of it as tooltip.
    const QString path = QStringLiteral("/mnt/efir/") + QString(80, u'x') + QStringLiteral("/R2001_a.avi");
    form.substitutions().setPath(0, path);
    EXPECT_EQ(grid->textElideMode(), Qt::ElideMiddle);
    EXPECT_FALSE(grid->wordWrap()) << "a wrapped cell is cut at its end";
    EXPECT_EQ(grid->model()->index(0, 1).data(Qt::ToolTipRole).toString(), path);
    form.hide();

    TForm2 folders(m_interaction);
    folders.show();
    folders.resize(500, 300);
    EXPECT_EQ(folders.StringGrid1->columnWidth(0), folders.StringGrid1->viewport()->width() - 1);
    EXPECT_EQ(folders.Button4->pos(), QPoint(8, 274));
    EXPECT_EQ(folders.Button1->pos(), QPoint(88, 274));
    EXPECT_EQ(folders.Button2->pos(), QPoint(500 - 75 - 2, 274));
    folders.hide();
}

TEST_F(LookupDialogs, ModelsKeepTheItemModelContract)
{
    TForm2 folders(m_interaction);
    QAbstractItemModelTester folderTester(&folders.folders(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    folders.folders().appendFolder("a");
    folders.folders().appendFolder("b");
    folders.folders().removeFolder(0);
    folders.folders().save();

    TForm3 substitutions(m_interaction, m_settings);
    QAbstractItemModelTester substTester(&substitutions.substitutions(),
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    substitutions.substitutions().appendRow();
    substitutions.substitutions().appendPair("x", "/x.avi");
    substitutions.substitutions().removePair(0);
    substitutions.substitutions().removePair(0);
    substitutions.substitutions().removePair(0);
}

TEST_F(LookupDialogs, MissingFoldersAndFilesShowRedWithTheReason)
{
    const QString here = m_dir.path();
    const QString gone = m_dir.filePath(QStringLiteral("gone"));
    const QString clip = m_dir.filePath(QStringLiteral("R1.avi"));
    test::writeFile(clip, "x");
    // A file where a folder is expected is no folder either.
    test::writeFile(foldersFile(), test::cp1251(here + "\r\n" + gone + "\r\n" + clip + "\r\n"));
    test::writeFile(substFile(), test::cp1251("A ; " + clip + "\r\nB ; " + gone + ".avi\r\n"));
    QTableView *grid = nullptr;
    // Red as the grid draws it.
    const auto red = [&grid](const QModelIndex &index) {
        QStyleOptionViewItem option;
        static_cast<GridCellDelegate *>(grid->itemDelegate())->initStyleOption(&option, index);
        return option.palette.color(QPalette::Text) == Qt::red;
    };
    TForm2 folders(m_interaction);
    grid = folders.StringGrid1;
    QAbstractItemModel *model = grid->model();
    EXPECT_FALSE(red(model->index(1, 0))) << "nothing is marked before the dialog opens";
    folders.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return red(model->index(1, 0)); }, 5000));
    EXPECT_EQ(model->index(1, 0).data(Qt::ToolTipRole).toString(), "Директория поиска недоступна: " + gone);
    EXPECT_TRUE(red(model->index(2, 0)));
    EXPECT_FALSE(red(model->index(0, 0)));
    EXPECT_FALSE(model->index(0, 0).data(Qt::ToolTipRole).isValid());
    // A row corrected is judged by its new text.
    model->setData(model->index(1, 0), here + "/");
    EXPECT_FALSE(red(model->index(1, 0)));
    folders.hide();

    TForm3 substitutions(m_interaction, m_settings);
    grid = substitutions.StringGrid1;
    model = grid->model();
    substitutions.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return red(model->index(1, 0)); }, 5000));
    EXPECT_TRUE(red(model->index(1, 1)));
    EXPECT_EQ(model->index(1, 0).data(Qt::ToolTipRole).toString(), "файл не существует: " + gone + ".avi");
    EXPECT_FALSE(red(model->index(0, 1)));
    EXPECT_EQ(model->index(0, 1).data(Qt::ToolTipRole).toString(), clip);
    substitutions.hide();
}
