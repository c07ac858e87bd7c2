// The check and conversion commands driven through the main window's menu
// handlers, with every window created as start-up creates them and scripted
// answers to every dialog.
#include "app/application.h"
#include "app/deepcheckwindow.h"
#include "app/tform1.h"
#include "dialogs/tform5.h"
#include "lookup/directorylisting.h"
#include "lookup/tform3.h"
#include "lookup/tform4.h"
#include "schedule/schedulemodel.h"
#include "sequence/aviprobe.h"
#include "sequence/pathmap.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLockFile>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace lintaro;
using test::ScriptedInteraction;

namespace {

// The bracket search joins folder and name with the platform's separator.
const QString kSep = QString(DirectoryListing::separator());

class CommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_config = m_dir.filePath(QStringLiteral("config"));
        m_clips = m_dir.filePath(QStringLiteral("clips"));
        m_out = m_dir.filePath(QStringLiteral("out"));
        QDir().mkpath(m_config);
        QDir().mkpath(m_out);
        qputenv("LINTARO_CONFIG_DIR", m_config.toLocal8Bit());
        test::writeFile(m_config + QStringLiteral("/Folders.cfg"), test::cp1251(m_clips + QStringLiteral("\r\n")));
        writeClip(QStringLiteral("N1.avi"), {{"vids", 1, 25, 250}});
        writeClip(QStringLiteral("R2.avi"), {{"vids", 1001, 30000, 300}, {"auds", 1, 48000, 48000}});
        m_settings = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")));
    }

    void TearDown() override { qunsetenv("LINTARO_CONFIG_DIR"); }

    void writeClip(const QString &name, const QList<test::riff::Stream> &streams)
    {
        test::writeFile(m_clips + u'/' + name, test::riff::simpleAvi(streams));
    }

    // Start-up, then open a schedule and mark its columns as the popup does.
    void start(const QString &schedule, int source, QList<int> separators = {})
    {
        m_form = createWindows(m_interaction, *m_settings);
        m_form->setModalRunner([this](QDialog &dialog) {
            m_shown.append(&dialog);
            if (auto *list = qobject_cast<TForm4 *>(&dialog))
                m_listed = list->entries();
        });
        m_form->show();
        const QString path = m_dir.filePath(QStringLiteral("day.csv"));
        test::writeFile(path, test::cp1251(schedule));
        m_interaction.answerPicker(path);
        m_form->Open1Click();
        ASSERT_TRUE(m_form->grid()->isVisible());
        mark(source, [this] { m_form->setsrcClick(); });
        for (const int c : separators)
            mark(c, [this] { m_form->setbrClick(); });
        m_interaction.pickers.clear();
    }

    template<typename Command>
    void mark(int column, Command command)
    {
        QHeaderView *header = m_form->grid()->horizontalHeader();
        header->resizeSection(column, std::max(header->sectionSize(column), 20));
        m_form->StringGrid1ContextPopup(QPoint(header->sectionViewportPosition(column) + 5, 3));
        m_form->popupMenu()->hide();
        command();
    }

    QStringList outputFiles() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }

    static QByteArray expectedPsq(const QList<std::pair<QString, QString>> &clips)
    {
        PsqWriter writer;
        for (const auto &[path, audio] : clips)
            writer.appendClip(*AviProbe::probe(path, audio).facts, path);
        return writer.toBytes();
    }

    QTemporaryDir m_dir;
    QString m_config, m_clips, m_out;
    ScriptedInteraction m_interaction;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TForm1> m_form;
    QList<QDialog *> m_shown;
    QStringList m_listed;
};

} // namespace

TEST_F(CommandsTest, ConvertsWithoutSeparatorsIntoOneFile)
{
    start(QStringLiteral("06:00;Новости (N1)\r\n06:10;Ролик (R2) анонс\r\n"), 1);
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1.psq"));
    m_form->Build1Click();

    ASSERT_EQ(m_interaction.pickers.size(), 1);
    const FileDialogRequest &save = m_interaction.pickers[0].request;
    EXPECT_EQ(save.title, QStringLiteral("Укажите префикс имени PSQ файлов для сохранения результатов"));
    EXPECT_FALSE(save.confirmOverwrite);
    ASSERT_EQ(save.filters.size(), 4); // PSQ first, then the formats of other editors
    EXPECT_EQ(save.filters[0].pattern, QStringLiteral("*.psq"));
    EXPECT_EQ(save.filters[3].description, QStringLiteral("MLT (*.mlt)"));
    EXPECT_EQ(save.selectedFilter, 0);
    EXPECT_EQ(outputFiles(), QStringList{"Day1.psq"});
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1.psq")),
              expectedPsq({{m_clips + kSep + QStringLiteral("N1.avi"), QString()},
                           {m_clips + kSep + QStringLiteral("R2.avi"), QString()}}));
    EXPECT_EQ(m_form->psqFileName(), m_out + QStringLiteral("/Day1.psq"));
    EXPECT_EQ(m_form->progress(), 0);
    EXPECT_TRUE(m_interaction.messages.isEmpty()); // no completion message
    EXPECT_EQ(m_settings->read(QStringLiteral("Source")), QStringLiteral("1"));
    EXPECT_EQ(m_settings->read(QStringLiteral("Brakes")), QStringLiteral("0;0"));
    EXPECT_EQ(m_form->grid()->currentIndex().row(), 1); // the grid followed the run to its last row
    // The status bar says how the run ended, until the next key; then the path returns.
    EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Конвертация завершена: записано файлов: 1 в ")
                                             + QDir::toNativeSeparators(m_out));
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form->grid(), &f2);
    EXPECT_EQ(m_form->shownStatusText(), TForm1::kEditPrefix + m_dir.filePath(QStringLiteral("day.csv")));
    QCoreApplication::sendEvent(m_form->grid(), &f2);

    // The next run's save dialog starts at the name chosen last.
    m_interaction.answerPicker(std::nullopt);
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers[1].request.initialFile, m_out + QStringLiteral("/Day1.psq"));
}

TEST_F(CommandsTest, TheChosenFilterDecidesTheFormatAndIsRememberedForTheNextStart)
{
    m_settings->write(QStringLiteral("PathMap"), PathMap({{m_clips, QStringLiteral("E:\\ролики")}}).toStored());
    start(QStringLiteral("06:00;Новости (N1)\r\n"), 1);
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1.psq"));
    m_interaction.answerSaveFilter(2); // "EDL CMX 3600 (*.edl)"
    m_form->Build1Click();
    EXPECT_EQ(outputFiles(), QStringList{"Day1.edl"});
    EXPECT_TRUE(test::readFile(m_out + QStringLiteral("/Day1.edl"))
                    .contains(QStringLiteral("* SOURCE FILE: E:\\ролики\\N1.avi\r\n").toUtf8()));
    EXPECT_EQ(m_form->sequenceFormat(), SequenceFormat::Edl);

    m_interaction.answerPicker(std::nullopt);
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers[1].request.selectedFilter, 2);

    m_form.reset(); // exit stores the format beside the last name
    EXPECT_EQ(m_settings->read(QStringLiteral("LastFormat")), QStringLiteral("edl"));
    m_form = createWindows(m_interaction, *m_settings);
    EXPECT_EQ(m_form->sequenceFormat(), SequenceFormat::Edl);
}

TEST_F(CommandsTest, SeparatorValuesSplitAndNameTheFiles)
{
    start(QStringLiteral("(N1);K1;10:30\r\n(R2);K1;\r\n(N1);;\r\n(R2);K2;\r\n(N1);K1;\r\n"), 0, {1, 2});
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1^.K7.10_30.psq")); // an earlier file of a set
    m_form->Build1Click();
    EXPECT_EQ(outputFiles(),
              (QStringList{"Day1^.K1.10_30.psq", "Day1^.K1.10_30~2.psq", "Day1^.K2.10_30.psq"}));
    const QString n1 = m_clips + kSep + QStringLiteral("N1.avi");
    const QString r2 = m_clips + kSep + QStringLiteral("R2.avi");
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1^.K1.10_30.psq")),
              expectedPsq({{n1, QString()}, {r2, QString()}, {n1, QString()}}));
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1^.K2.10_30.psq")), expectedPsq({{r2, QString()}}));
    EXPECT_EQ(m_settings->read(QStringLiteral("Brakes")), QStringLiteral("0;1;1"));
}

TEST_F(CommandsTest, TheFirstFailingRowStopsTheRunAndNothingIsWritten)
{
    start(QStringLiteral("(N1)\r\nНовости (Missing) 12\r\n(R2)\r\n"), 0);
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Ошибка конвертации"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Не могу найти файл \"Новости (Missing) 12\""));
    EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(m_interaction.pickers.isEmpty()); // no save dialog
    EXPECT_TRUE(outputFiles().isEmpty());
    EXPECT_EQ(m_form->progress(), 0);
    EXPECT_EQ(m_settings->read(QStringLiteral("Source")), QStringLiteral("0")); // the layout was stored first

    // A clip the probe refuses: its box first, then the run's.
    test::writeFile(m_clips + QStringLiteral("/Missing.avi"), "not an avi");
    m_interaction.messages.clear();
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Error"));
    // Both name the file on a second line.
    const QString clip = QDir::toNativeSeparators(m_clips + QStringLiteral("/Missing.avi"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Не могу открыть AVI\n") + clip);
    EXPECT_EQ(m_interaction.messages[1].text, QStringLiteral("Ошибка обработки AVI файла\n") + clip);
    EXPECT_TRUE(outputFiles().isEmpty());
}

TEST_F(CommandsTest, EscAsksWhetherToStopAndAStoppedRunWritesNothing)
{
    start(QStringLiteral("(N1)\r\n(R2)\r\n(N1)\r\n"), 0);
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "Yes" : "No");
        QDir(m_out).removeRecursively();
        QDir().mkpath(m_out);
        m_interaction.messages.clear();
        m_interaction.pickers.clear();
        // Esc waits in the queue until the run lets the window handle its events.
        QCoreApplication::postEvent(m_form->grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        m_interaction.answerMessage(answer);
        if (answer == MessageAnswer::No)
            m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
        m_form->Build1Click();
        ASSERT_EQ(m_interaction.messages.size(), 1);
        EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Конвертация"));
        EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Прервать конвертацию?"));
        EXPECT_EQ(m_interaction.messages[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::Question);
        if (answer == MessageAnswer::Yes) {
            EXPECT_TRUE(m_interaction.pickers.isEmpty()) << "no save dialog";
            EXPECT_TRUE(outputFiles().isEmpty());
            EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Конвертация прервана, файлы не записаны"));
        } else {
            EXPECT_EQ(outputFiles(), QStringList{"Day1.psq"});
        }
        EXPECT_EQ(m_form->progress(), 0);
        EXPECT_FALSE(m_form->isConverting());
    }
}

TEST_F(CommandsTest, DeepCheckReportsEveryRowAndLeadsBackToIt)
{
    writeClip(QStringLiteral("AMB1.avi"), {{"vids", 1, 25, 10}});
    writeClip(QStringLiteral("AMB2.avi"), {{"vids", 1, 25, 10}});
    test::writeFile(m_clips + QStringLiteral("/Bad.avi"), "not an avi");
    start(QStringLiteral("(N1);K1\r\n(R2);K1\r\n(AMB);K2\r\n(Bad);K2\r\nФильм;K2\r\n"), 0, {1});
    const QByteArray settingsBefore = test::readFile(m_dir.filePath(QStringLiteral("settings.ini")));
    m_form->DeepCheck1Click();
    EXPECT_TRUE(m_interaction.messages.isEmpty()) << "the probe's box is recorded, not shown";
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
    DeepCheckWindow *window = m_form->deepCheckWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    QTableWidget *rows = window->rowTable();
    ASSERT_EQ(rows->rowCount(), 5);
    const QStringList statuses = {"найден", "найден", "неоднозначен: 2 файлов", "ошибка AVI: Не могу открыть AVI",
                                  "не найден"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows->item(i, 0)->text(), QString::number(i + 1));
        EXPECT_EQ(rows->item(i, 2)->text(), statuses[i]);
    }
    EXPECT_EQ(rows->item(0, 3)->text(), m_clips + kSep + QStringLiteral("N1.avi"));
    EXPECT_EQ(rows->item(0, 5)->text(), QStringLiteral("00:00:10:00"));
    EXPECT_EQ(rows->item(1, 5)->text(), QStringLiteral("00:00:10;00")); // 300 frames at 29.97, drop-frame
    EXPECT_EQ(window->groupTable()->rowCount(), 0) << "the conversion would stop at the third row";
    EXPECT_EQ(window->report().stopRow, 3);
    EXPECT_FALSE(QFile::exists(m_config + QStringLiteral("/Subst.cfg")));
    EXPECT_EQ(test::readFile(m_dir.filePath(QStringLiteral("settings.ini"))), settingsBefore);

    emit rows->cellDoubleClicked(3, 1);
    EXPECT_EQ(m_form->grid()->currentIndex().row(), 3);
    EXPECT_EQ(m_form->grid()->currentIndex().column(), 0);

    const QString saved = m_out + QStringLiteral("/check.csv");
    m_interaction.answerPicker(saved);
    window->saveClick();
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    EXPECT_EQ(m_interaction.pickers[0].request.filters.first().description, QStringLiteral("Файлы Excel (*.csv)"));
    EXPECT_EQ(test::readFile(saved), deepCheckCsv(window->report()));
    EXPECT_TRUE(test::readFile(saved).contains(test::cp1251(QStringLiteral("3;(AMB);неоднозначен: 2 файлов;"))));
}

TEST_F(CommandsTest, AScheduleNamedOnTheCommandLineOrDroppedOpensThroughTheOpenCommand)
{
    start(QStringLiteral("(N1)\r\n"), 0);
    const QString first = m_dir.filePath(QStringLiteral("day.csv"));
    const QString second = m_dir.filePath(QStringLiteral("night.csv"));
    test::writeFile(second, test::cp1251(QStringLiteral("a;b;c\r\nd;e;f\r\n")));

    m_form->openFromArguments({QStringLiteral("lintaro"), QStringLiteral("--unknown"), second});
    EXPECT_EQ(m_form->openFileName(), second);
    EXPECT_EQ(m_form->statusText(), second);
    EXPECT_EQ(m_form->model().table().dataRowCount(), 2);
    EXPECT_EQ(m_form->recentFileAction()->text(), first) << "the close step ran";
    EXPECT_TRUE(m_interaction.pickers.isEmpty()) << "no open dialog";

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(first)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form.get(), &drop);
    EXPECT_EQ(m_form->openFileName(), first);
    EXPECT_EQ(m_form->model().table().dataRowCount(), 1);

    // A file that cannot be read reaches the error report; the workspace is closed.
    m_form->openFromArguments({QStringLiteral("lintaro"), m_dir.filePath(QStringLiteral("gone.csv"))});
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_FALSE(m_form->grid()->isVisible());
}

TEST_F(CommandsTest, NoSourceColumnStopsBothCommandsBeforeAnything)
{
    start(QStringLiteral("(N1);x\r\n"), 0);
    m_form->unsrcClick();
    m_form->Build1Click();
    m_form->N6Click();
    ASSERT_EQ(m_interaction.messages.size(), 2);
    for (const auto &message : m_interaction.messages) {
        EXPECT_EQ(message.caption, QStringLiteral("Не могу конвертнуть"));
        EXPECT_EQ(message.text, QStringLiteral("Пожалуйста, назначьте столбец Источника правой кнопкой мыши"));
        EXPECT_EQ(message.icon, MessageIcon::Warning);
    }
    EXPECT_EQ(m_settings->read(QStringLiteral("ColWidths")), QString());
    EXPECT_TRUE(m_shown.isEmpty());
}

TEST_F(CommandsTest, AnsweredPromptIsSavedAndServesLaterRowsWithoutAsking)
{
    start(QStringLiteral("Фильм\r\nФильм\r\n"), 0);
    m_interaction.answerPicker(m_clips + QStringLiteral("/N1.avi")); // the substitution prompt
    m_interaction.answerPicker(m_out + QStringLiteral("/Day2")); // the save dialog
    bool menusDisabledDuringRun = false;
    m_interaction.beforePickerAnswer = [&](const ScriptedInteraction::Picker &picker) {
        if (picker.kind != ScriptedInteraction::PickerKind::Open)
            return;
        const QList<QMenu *> menus = m_form->menus();
        menusDisabledDuringRun = !menus[0]->menuAction()->isEnabled() && !menus[1]->menuAction()->isEnabled()
            && !menus[2]->menuAction()->isEnabled() && menus[3]->menuAction()->isEnabled();
        m_form->close(); // waits until the run has ended
        EXPECT_TRUE(m_form->isVisible());
    };
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.pickers[0].request.title, QStringLiteral("Укажите файл \"Фильм \""));
    EXPECT_TRUE(menusDisabledDuringRun);
    EXPECT_EQ(test::readFile(m_config + QStringLiteral("/Subst.cfg")),
              test::cp1251(QStringLiteral("Фильм ; ") + m_clips + QStringLiteral("/N1.avi\r\n")));
    EXPECT_EQ(outputFiles(), QStringList{"Day2.psq"});
    EXPECT_FALSE(m_form->isVisible()); // the close asked for during the run happened after it
    for (QMenu *menu : m_form->menus())
        EXPECT_TRUE(menu->menuAction()->isEnabled());
}

TEST_F(CommandsTest, StoredAudioPlacementIsInEffectRightAfterStartUp)
{
    writeClip(QStringLiteral("V3.avi"), {{"vids", 1, 25, 100}});
    test::writeFile(m_clips + QStringLiteral("/V3.wav"), "RIFF");
    m_settings->write(QStringLiteral("Audio"), QStringLiteral("0110c")); // a WAV next to the video
    start(QStringLiteral("(V3)\r\n"), 0);
    EXPECT_EQ(m_form->findChild<TForm5 *>()->audioLocation(), QStringLiteral("."));
    m_interaction.answerPicker(m_out + QStringLiteral("/a"));
    m_form->Build1Click();
    const QByteArray written = test::readFile(m_out + QStringLiteral("/a.psq"));
    EXPECT_EQ(written.count("mediaType=3\r\n"), 2);
}

TEST_F(CommandsTest, AFileThatCannotBeCreatedReachesTheErrorReport)
{
    start(QStringLiteral("(N1)\r\n"), 0);
    const QString target = m_dir.filePath(QStringLiteral("no such folder/Day1"));
    m_interaction.answerPicker(target);
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Cannot create file %1.psq.").arg(target));
    EXPECT_EQ(m_form->progress(), 0);
    EXPECT_TRUE(m_form->menus()[0]->menuAction()->isEnabled());
}

TEST_F(CommandsTest, CheckListsUnresolvedCellsQuietlyInScheduleOrder)
{
    writeClip(QStringLiteral("AMB1.avi"), {{"vids", 1, 25, 10}});
    writeClip(QStringLiteral("AMB2.avi"), {{"vids", 1, 25, 10}});
    start(QStringLiteral(" (N1) \r\nНовости (Nope) 1\r\n(AMB)\r\nФильм\r\nНовости (Nope) 1\r\n"), 0);
    const QByteArray settingsBefore = test::readFile(m_dir.filePath(QStringLiteral("settings.ini")));
    m_form->N6Click();
    EXPECT_TRUE(m_interaction.messages.isEmpty()); // the ambiguous code shows no box
    EXPECT_TRUE(m_interaction.pickers.isEmpty());  // the missing name asks nothing
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_EQ(m_listed, (QStringList{"Новости (Nope) 1", "(AMB)", "Фильм", "Новости (Nope) 1"}));
    EXPECT_FALSE(QFile::exists(m_config + QStringLiteral("/Subst.cfg")));
    EXPECT_EQ(test::readFile(m_dir.filePath(QStringLiteral("settings.ini"))), settingsBefore);
}

// Another program changes Folders.cfg and Subst.cfg between two commands: the
// next check and conversion use the files as they are now.
TEST_F(CommandsTest, ListsChangedOnDiskBetweenRunsAreFollowed)
{
    const QString subst = m_config + QStringLiteral("/Subst.cfg");
    test::writeFile(subst,
        test::cp1251(QStringLiteral("Promo ; ") + m_clips + QStringLiteral("/N1.avi\r\nOld ; /x.avi\r\n")));
    start(QStringLiteral("Promo\r\n(R2)\r\nOld\r\n"), 0);
    test::writeFile(m_config + QStringLiteral("/Folders.cfg"), ""); // the clip folder removed
    test::writeFile(
        subst, test::cp1251(QStringLiteral("Promo ; ") + m_clips + QStringLiteral("/R2.avi\r\n")));
    m_form->N6Click();
    EXPECT_EQ(m_listed, (QStringList { "(R2)", "Old" }));

    test::writeFile(
        m_config + QStringLiteral("/Folders.cfg"), test::cp1251(m_clips + QStringLiteral("\r\n")));
    test::writeFile(subst,
        test::cp1251(QStringLiteral("Promo ; ") + m_clips + QStringLiteral("/R2.avi\r\nOld ; ") + m_clips
            + QStringLiteral("/N1.avi\r\n")));
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
    m_form->Build1Click();
    EXPECT_TRUE(m_interaction.messages.isEmpty());
    const QString r2 = m_clips + kSep + QStringLiteral("R2.avi");
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1.psq")),
        expectedPsq({ { m_clips + QStringLiteral("/R2.avi"), QString() }, { r2, QString() },
            { m_clips + QStringLiteral("/N1.avi"), QString() } }));

    // Another run replacing the same set: the error box, nothing replaced.
    const QByteArray written = test::readFile(m_out + QStringLiteral("/Day1.psq"));
    test::writeFile(subst,
        test::cp1251(QStringLiteral("Promo ; ") + m_clips + QStringLiteral("/N1.avi\r\nOld ; ") + m_clips
            + QStringLiteral("/R2.avi\r\n"))); // a set that would differ
    QLockFile other(m_out + QStringLiteral("/Day1.lock"));
    ASSERT_TRUE(other.lock());
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1.psq"));
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(m_interaction.messages[0].text,
        QStringLiteral("Файлы заняты другой конвертацией: %1/Day1.").arg(m_out));
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1.psq")), written);

    // The dialog opens on the file as it is now.
    test::writeFile(subst, "Promo ; /new.avi\r\n");
    m_form->N4Click();
    EXPECT_EQ(m_form->findChild<TForm3 *>()->substitutions().table().rows(),
        (QList<Substitution> { { "Promo", "/new.avi" } }));
}

TEST_F(CommandsTest, CheckWithEverythingFoundSaysSo)
{
    start(QStringLiteral("(N1)\r\n \r\n(R2)\r\n\t\r\n"), 0);
    m_form->N6Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].caption, QStringLiteral("Все файлы найдены"));
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Все готово к конвертации"));
    EXPECT_EQ(m_interaction.messages[0].icon, MessageIcon::None);
    EXPECT_TRUE(m_shown.isEmpty());
    EXPECT_TRUE(m_form->shownStatusText().endsWith(QStringLiteral("; строк без ролика: 2")))
        << m_form->shownStatusText().toStdString();

    m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
    m_form->Build1Click();
    EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Конвертация завершена: записано файлов: 1 в ")
                                             + QDir::toNativeSeparators(m_out) + QStringLiteral("; строк без ролика: 2"));
}

TEST_F(CommandsTest, ASearchFolderThatCannotBeListedIsNamedBeforeTheCheckAndAskedAboutBeforeTheConversion)
{
    const QString gone = m_dir.filePath(QStringLiteral("unmounted share"));
    test::writeFile(m_config + QStringLiteral("/Folders.cfg"), test::cp1251(m_clips + "\r\n" + gone + "\r\n"));
    start(QStringLiteral("(N1)\r\n"), 0);
    const QString named = QStringLiteral("Директория поиска недоступна: ") + gone;
    m_form->N6Click();
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(m_interaction.messages[0].text, named);
    EXPECT_EQ(m_interaction.messages[1].text, QStringLiteral("Все готово к конвертации"));
    m_form->DeepCheck1Click();
    EXPECT_EQ(m_interaction.lastMessageText(), named);
    m_form->deepCheckWindow()->close();

    // No (the default) ends the run before its first row, with nothing written.
    m_interaction.messages.clear();
    m_interaction.answerMessage(MessageAnswer::No);
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].text, named + QStringLiteral(". Продолжить без нее?"));
    EXPECT_EQ(m_interaction.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
    EXPECT_EQ(m_settings->read(QStringLiteral("Source")), QString()) << "not even the layout is stored";

    m_interaction.answerMessage(MessageAnswer::Yes);
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
    m_form->Build1Click();
    EXPECT_EQ(outputFiles(), QStringList{"Day1.psq"});
}

TEST_F(CommandsTest, TextTypedIntoACellWithoutEnterCountsForTheCheckAndTheConversion)
{
    start(QStringLiteral("(Old)\r\n"), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    QTableView *grid = m_form->grid();
    QTest::keyClick(grid, Qt::Key_F2);
    const auto typeWithoutEnter = [&](const QString &text) {
        grid->setCurrentIndex(m_form->model().index(0, 0));
        QTest::keyClick(grid, text[0].toLatin1()); // the first key opens the editor with it
        QWidget *editor = grid->indexWidget(grid->currentIndex());
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text.mid(1));
    };

    typeWithoutEnter(QStringLiteral("(N1)"));
    m_form->N6Click();
    EXPECT_TRUE(m_shown.isEmpty()) << m_listed.join(u',').toStdString();
    EXPECT_EQ(m_interaction.lastMessageText(), QStringLiteral("Все готово к конвертации"));

    typeWithoutEnter(QStringLiteral("(R2)"));
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
    m_form->Build1Click();
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1.psq")),
              expectedPsq({{m_clips + kSep + QStringLiteral("R2.avi"), QString()}}));
    EXPECT_EQ(m_form->model().table().cell(0, 1), QStringLiteral("(R2)")); // kept after the run
    EXPECT_TRUE(m_form->isEditMode());
}

TEST(UnknownFilesList, DeletingEntriesKeepsAtLeastOneRow)
{
    // On a desktop whose default font is taller than the rows.
    const QFont desktopFont = QApplication::font();
    QFont large = desktopFont;
    large.setPixelSize(17);
    QApplication::setFont(large);
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(desktopFont); });
    TForm4 list;
    list.appendEntry(QStringLiteral("a"));
    list.appendEntry(QStringLiteral("b"));
    list.appendEntry(QStringLiteral("c"));
    list.Button1Click(); // the first is selected
    EXPECT_EQ(list.entries(), (QStringList{"b", "c"}));
    list.clearEntries();
    list.appendEntry(QString()); // an empty Source cell is an entry too
    list.appendEntry(QStringLiteral("x"));
    EXPECT_EQ(list.entries(), (QStringList{"", "x"}));
    list.Button1Click();
    list.Button1Click();
    EXPECT_TRUE(list.entries().isEmpty());
    EXPECT_EQ(list.StringGrid1->model()->rowCount(), 1); // one blank row
    list.Button1Click();
    EXPECT_EQ(list.StringGrid1->model()->rowCount(), 1);

    // The dots of "Ё" fit into the 14-pixel row: it is not drawn as "Е".
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const auto drawn = [&](const QString &entry) {
        list.clearEntries();
        list.appendEntry(entry);
        const QRect row = list.StringGrid1->visualRect(list.StringGrid1->model()->index(0, 0));
        return list.StringGrid1->viewport()->grab(row).toImage();
    };
    EXPECT_NE(drawn(QStringLiteral("Ёж")), drawn(QStringLiteral("Еж")));
    list.hide();
}
