#include "dialogs/drivecombobox.h"
#include "dialogs/pathmapdialog.h"
#include "dialogs/tform5.h"
#include "dialogs/tform6.h"
#include "dialogs/tform7.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace lintaro;

namespace {

class AudioDialog : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SettingsStore settings{dir.filePath(QStringLiteral("settings.ini"))};
    test::ScriptedInteraction interaction;
    TForm5 form{interaction, settings};

    void SetUp() override
    {
        interaction.setAcceptUnscriptedMessages(false);
        form.DriveComboBox1->setDrives({"a:", "c: [SYSTEM]", "d: [MEDIA]", "e:"});
        form.DriveComboBox1->setDrive(u'c');
    }
    void TearDown() override { form.hide(); }

    void open()
    {
        form.show();
        form.hide(); // showing is what loads; the dialog need not stay up
    }
    void click(QRadioButton *button) { button->click(); }
    QString stored() const { return settings.read(QStringLiteral("Audio")); }
    QColor selectorColour() const { return form.DriveComboBox1->palette().color(QPalette::Base); }
};

} // namespace

TEST_F(AudioDialog, FirstOpeningShowsTheDefaultsWithTheSecondPairDisabled)
{
    open();
    EXPECT_TRUE(form.RadioButton1->isChecked());
    EXPECT_TRUE(form.RadioButton3->isChecked());
    EXPECT_FALSE(form.RadioButton3->isEnabled());
    EXPECT_FALSE(form.RadioButton4->isEnabled());
    EXPECT_FALSE(form.DriveComboBox1->isEnabled());
    EXPECT_TRUE(form.GroupBox1->isEnabled());
    EXPECT_EQ(selectorColour(), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(form.audioLocation(), QString());
    EXPECT_TRUE(interaction.messages.isEmpty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Настройка расположения звука"));
    EXPECT_EQ(form.DriveComboBox1->geometry(), QRect(120, 22, 145, 21)); // inside the 43-pixel group box
}

TEST_F(AudioDialog, ClicksTakeEffectAtOnceAndEnableTheDriveSelector)
{
    open();
    click(form.RadioButton2);
    EXPECT_EQ(form.audioLocation(), QStringLiteral("."));
    EXPECT_TRUE(form.RadioButton4->isEnabled());
    click(form.RadioButton4);
    EXPECT_TRUE(form.DriveComboBox1->isEnabled());
    EXPECT_EQ(selectorColour(), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(form.audioLocation(), QStringLiteral("c"));

    form.DriveComboBox1->setCurrentIndex(2);
    emit form.DriveComboBox1->activated(2); // what a pick by the operator sends
    EXPECT_EQ(form.audioLocation(), QStringLiteral("d"));

    click(form.RadioButton3);
    EXPECT_FALSE(form.DriveComboBox1->isEnabled());
    EXPECT_EQ(form.audioLocation(), QStringLiteral("."));

    // Choosing item 1 disables the second pair but keeps its choice.
    click(form.RadioButton4);
    click(form.RadioButton1);
    EXPECT_FALSE(form.RadioButton4->isEnabled());
    EXPECT_TRUE(form.RadioButton4->isChecked());
    EXPECT_FALSE(form.DriveComboBox1->isEnabled());
    form.Button1Click();
    EXPECT_EQ(stored(), QStringLiteral("1001d"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(AudioDialog, OkStoresTheChoiceAndClosingOtherwiseStoresNothing)
{
    open();
    click(form.RadioButton2);
    form.close(); // the close box
    EXPECT_EQ(stored(), QString());
    EXPECT_EQ(form.audioLocation(), QStringLiteral("."));

    open();
    EXPECT_TRUE(form.RadioButton2->isChecked()); // nothing stored: the choices stay
    form.Button1Click();
    EXPECT_EQ(stored(), QStringLiteral("0110c"));
}

TEST_F(AudioDialog, TheStoredValueIsLoadedOnlyWhenTheDialogOpens)
{
    settings.write(QStringLiteral("Audio"), QStringLiteral("0101D"));
    EXPECT_EQ(form.audioLocation(), QString()); // start-up defaults until opened
    open();
    EXPECT_TRUE(form.RadioButton2->isChecked());
    EXPECT_TRUE(form.RadioButton4->isChecked());
    EXPECT_TRUE(form.DriveComboBox1->isEnabled());
    EXPECT_EQ(form.DriveComboBox1->currentText(), QStringLiteral("d: [MEDIA]"));
    EXPECT_EQ(form.audioLocation(), QStringLiteral("d"));

    // Neither of the first pair: sound inside the AVI.
    settings.write(QStringLiteral("Audio"), QStringLiteral("0000c"));
    open();
    EXPECT_FALSE(form.RadioButton1->isChecked());
    EXPECT_FALSE(form.RadioButton2->isChecked());
    EXPECT_FALSE(form.RadioButton3->isChecked());
    EXPECT_FALSE(form.RadioButton4->isChecked());
    EXPECT_EQ(form.audioLocation(), QString());
}

TEST_F(AudioDialog, ADriveThatIsNotListedIsStillInEffect)
{
    settings.write(QStringLiteral("Audio"), QStringLiteral("0101q"));
    open();
    EXPECT_EQ(form.DriveComboBox1->currentText(), QStringLiteral("c: [SYSTEM]"));
    EXPECT_EQ(form.audioLocation(), QStringLiteral("q"));
    form.Button1Click();
    EXPECT_EQ(stored(), QStringLiteral("0101q"));
}

TEST_F(AudioDialog, AValueCutShortReportsARangeErrorAndStillOpens)
{
    settings.write(QStringLiteral("Audio"), QStringLiteral("01"));
    interaction.answerMessage(MessageAnswer::Ok);
    form.show();
    ASSERT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(interaction.messages[0].text, QStringLiteral("Range check error."));
    EXPECT_EQ(interaction.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.RadioButton2->isChecked()); // the characters present were applied
    EXPECT_EQ(form.audioLocation(), QStringLiteral("."));
    // The enabling rule was not applied for this showing.
    EXPECT_FALSE(form.RadioButton3->isEnabled());
}

TEST_F(AudioDialog, ARefusedWriteIsReportedAndTheDialogStaysOpen)
{
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    test::writeFile(blocker, "x");
    SettingsStore unwritable(test::uncreatablePath(blocker, QStringLiteral("settings.ini")));
    TForm5 stuck(interaction, unwritable);
    stuck.show();
    stuck.RadioButton2->click();
    interaction.answerMessage(MessageAnswer::Ok);
    stuck.Button1Click();
    ASSERT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(interaction.messages[0].text, QStringLiteral("Failed to set data for 'Audio'"));
    EXPECT_TRUE(stuck.isVisible());
    EXPECT_EQ(stuck.audioLocation(), QStringLiteral("."));
    stuck.hide();
}

TEST(DriveSelector, SetDriveMatchesAnyCaseAndKeepsTheSelectionForUnlistedDrives)
{
    DriveComboBox box;
    box.setDrives({"C: [SYS]", "d:"});
    box.setDrive(u'D');
    EXPECT_EQ(box.drive(), QChar(u'd'));
    EXPECT_EQ(box.currentIndex(), 1);
    box.setDrive(u'c');
    EXPECT_EQ(box.currentIndex(), 0);
    box.setDrive(u'z');
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.drive(), QChar(u'z'));
    EXPECT_FALSE(DriveComboBox::platformDrives().isEmpty());
}

TEST(AboutBox, CentredOverTheMainWindowAndTitledWithItsCaption)
{
    test::ScriptedInteraction interaction;
    QMainWindow main;
    main.setGeometry(100, 80, 640, 480);
    main.setWindowTitle(QStringLiteral("VELMAR(R) Lintaro V1.2"));
    TForm6 about(interaction, &main);
    EXPECT_EQ(about.size(), QSize(281, 106));
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);

    about.prepareOver(main);
    EXPECT_EQ(about.Label2->text(), QStringLiteral("VELMAR(R) Lintaro V1.2"));
    const QRect mainFrame = main.frameGeometry();
    EXPECT_EQ(about.pos(), QPoint(mainFrame.left() + (mainFrame.width() - 281) / 2,
                                  mainFrame.top() + (mainFrame.height() - 106) / 2));

    // Moved, narrowed below the box's width and renamed: the next opening follows.
    main.setMinimumSize(0, 0);
    main.setGeometry(300, 200, 201, 90);
    main.setWindowTitle(QStringLiteral("Другой заголовок"));
    about.prepareOver(main);
    EXPECT_EQ(about.Label2->text(), QStringLiteral("Другой заголовок"));
    const QRect narrow = main.frameGeometry();
    EXPECT_EQ(about.pos().x() - narrow.left(), narrow.right() - about.frameGeometry().right());
}

TEST(AboutBox, TheMailLinkGoesToThePlatformAndTheBoxStaysOpen)
{
    test::ScriptedInteraction interaction;
    QMainWindow main;
    TForm6 about(interaction, &main);
    EXPECT_EQ(about.Label5->text(), QStringLiteral("EMail: lintaro@velmar.ru"));
    about.show();
    const QPointF inside(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, inside, about.Label5->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, about.Label5->mapToGlobal(inside), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(about.Label5, &press);
    QApplication::sendEvent(about.Label5, &release);
    EXPECT_EQ(interaction.externalAddresses, QList<QString>{QStringLiteral("mailto:lintaro@velmar.ru")});
    EXPECT_TRUE(about.isVisible());
    about.Button1->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(HelpWindow, AskedTwiceGivesOneWindowKeptForTheNextOpening)
{
    QMainWindow main;
    main.show();
    auto *help = new TForm7(&main);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Справка"));
    EXPECT_FALSE(help->isModal());
    EXPECT_TRUE(help->Memo1->isReadOnly());
    EXPECT_TRUE(help->Memo1->toPlainText().startsWith(QStringLiteral("Конвертор эфирных листов :)")));

    help->showHelp();
    help->move(help->pos() + QPoint(37, 11));
    const QPoint left = help->pos();
    help->showHelp();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(main.findChildren<TForm7 *>().size(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // the main window stays usable

    help->Button1->click();
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(help->result(), QDialog::Accepted);
    help->showHelp();
    EXPECT_EQ(help->pos(), left);
    help->close(); // the close box hides, it does not destroy
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(main.findChildren<TForm7 *>().size(), 1);
}

TEST(PathMapDialog, LoadsOnShowingAndStoresOnlyCompletePairsOnEveryClose)
{
    LINTARO_UNIX_FIXTURE("keyboard focus, which Wine without a window manager does not give");
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    test::ScriptedInteraction interaction;
    interaction.setAcceptUnscriptedMessages(false);
    const PathMapping stored{QStringLiteral("/mnt/efir"), QStringLiteral("E:")};
    settings.write(QStringLiteral("PathMap"), PathMap({stored}).toStored());
    const auto storedPairs
        = [&] { return PathMap::fromStored(settings.read(QStringLiteral("PathMap"))).pairs(); };

    PathMapDialog dialog(interaction, settings);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.pairs(), QList<PathMapping>{stored});
    QTableWidget *table = dialog.table();
    EXPECT_EQ(table->rowHeight(0), 14);

    // "Добавить" opens the new row for typing; its other side is missing.
    dialog.addButton()->click();
    ASSERT_EQ(table->rowCount(), 2);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("/srv/a=b"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents(); // the editor's commit is queued
    EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("/srv/a=b"));
    interaction.answerMessage(MessageAnswer::Ok);
    QTest::keyClick(table, Qt::Key_Escape); // stores, as OK does: refused here
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(storedPairs(), QList<PathMapping> { stored });

    // "Выше" puts the new pair first, where it wins; the folder button fills the local side.
    table->setItem(1, 1, new QTableWidgetItem(QStringLiteral("\\\\srv\\a")));
    table->setCurrentCell(1, 0);
    dialog.upButton()->click();
    EXPECT_EQ(table->currentRow(), 0);
    interaction.answerPicker(QStringLiteral("/srv/b"));
    dialog.folderButton()->click();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(storedPairs(),
        (QList<PathMapping> { { QStringLiteral("/srv/b"), QStringLiteral("\\\\srv\\a") }, stored }));

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    table->setCurrentCell(1, 0);
    interaction.answerMessage(MessageAnswer::Yes);
    dialog.removeButton()->click();
    EXPECT_EQ(QApplication::focusWidget(), table);
    dialog.okButton()->click();
    EXPECT_EQ(
        storedPairs(), (QList<PathMapping> { { QStringLiteral("/srv/b"), QStringLiteral("\\\\srv\\a") } }));

    // A damaged stored text is reported on showing, and the table starts empty.
    settings.write(QStringLiteral("PathMap"), QStringLiteral("[oops"));
    interaction.answerMessage(MessageAnswer::Ok);
    dialog.show();
    EXPECT_TRUE(dialog.pairs().isEmpty());
    EXPECT_EQ(interaction.messages.size(), 3);
    dialog.hide();
}
