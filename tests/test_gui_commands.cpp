// The check and conversion commands driven through the main window's menu
// handlers, with every window created as start-up creates them and scripted
// answers to every dialog.
#include "app/application.h"
#include "app/deepcheckwindow.h"
#include "app/tform1.h"
#include "common/qtinteraction.h"
#include "dialogs/tform5.h"
#include "lookup/directorylisting.h"
#include "lookup/tform3.h"
#include "lookup/tform4.h"
#include "schedule/schedulemodel.h"
#include "sequence/aviprobe.h"
#include "sequence/conversionrun.h"
#include "sequence/pathmap.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/modaldriver.h"
#include "support/riffbuilder.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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
    // With the real dialogs, the schedule opens as one named on the command line.
    void start(const QString &schedule, int source, QList<int> separators = {}, QtInteraction *real = nullptr)
    {
        if (real)
            real->setOwnDialogs(true);
        m_form = real ? createWindows(*real, *m_settings) : createWindows(m_interaction, *m_settings);
        m_form->setModalRunner([this](QDialog &dialog) {
            m_shown.append(&dialog);
            if (auto *list = qobject_cast<TForm4 *>(&dialog))
                m_listed = list->entries();
        });
        m_form->show();
        const QString path = m_dir.filePath(QStringLiteral("day.csv"));
        test::writeFile(path, test::cp1251(schedule));
        if (real) {
            m_form->openScheduleFile(path);
        } else {
            m_interaction.answerPicker(path);
            m_form->Open1Click();
        }
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
    ASSERT_EQ(save.filters.size(), 5); // PSQ first, then the formats of other editors
    EXPECT_EQ(save.filters[0].pattern, QStringLiteral("*.psq"));
    EXPECT_EQ(save.filters[3].description, QStringLiteral("MLT (*.mlt)"));
    EXPECT_EQ(save.filters[4].description, QStringLiteral("Kdenlive (*.kdenlive)"));
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
    EXPECT_EQ(m_form->shownStatusText(),
        QStringLiteral("Конвертация завершена: записано файлов PSQ: 1 в ") + QDir::toNativeSeparators(m_out));
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

    // A dialog that names no filter it offered writes nothing, rather than guess.
    m_interaction.answerPicker(m_out + QStringLiteral("/Day2"));
    m_interaction.answerSaveFilter(-1);
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.lastMessageText(), ConversionRun::kUnknownFilter);
    EXPECT_EQ(outputFiles(), QStringList { "Day1.edl" });
    EXPECT_EQ(m_form->sequenceFormat(), SequenceFormat::Edl);

    m_interaction.answerPicker(std::nullopt);
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers[2].request.selectedFilter, 2);

    m_interaction.answerPicker(m_out + QStringLiteral("/Day1.psq"));
    m_interaction.answerSaveFilter(4); // "Kdenlive (*.kdenlive)", after MLT
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers[3].request.selectedFilter, 2);
    EXPECT_EQ(outputFiles(), (QStringList{"Day1.edl", "Day1.kdenlive"}));

    m_form.reset(); // exit stores the format beside the last name
    EXPECT_EQ(m_settings->read(QStringLiteral("LastFormat")), QStringLiteral("kdenlive"));
    m_form = createWindows(m_interaction, *m_settings);
    EXPECT_EQ(m_form->sequenceFormat(), SequenceFormat::Kdenlive);
}

// The real save dialog: each filter in turn, the last one chosen offered
// first, the name typed with or without the format's extension.
TEST_F(CommandsTest, RealSaveDialogWritesTheFormatOfTheFilterChosen)
{
    m_settings->write(QStringLiteral("LastFormat"), QStringLiteral("edl"));
    m_settings->write(QStringLiteral("LastPSQ"), m_out + QStringLiteral("/Day0^.К1.edl"));
    QtInteraction real;
    start(QStringLiteral("(N1);К1\r\n(R2);К1\r\n"), 0, { 1 }, &real);
    struct Case
    {
        int filter;
        QString typed, written, name;
        QByteArray marker;
    };
    const Case cases[] = {
        { 2, "Day2", "Day2^.К1.edl", "EDL CMX 3600", "TITLE: Day2^.K1\r\n" }, // the title in ASCII
        { 1, "Day1", "Day1^.К1.xml", "Final Cut Pro XML", "<xmeml version=\"5\">" },
        { 0, "Day0.psq", "Day0^.К1.psq", "PSQ", {} },
        { 3, "Day3.mlt", "Day3^.К1.mlt", "MLT", "<mlt " },
    };
    QStringList written;
    int offered = 2; // the stored format
    QString shownName = QStringLiteral("Day0^.К1.edl");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        test::ModalDriver driver([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), ConversionRun::kSaveTitle);
            auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(types && name);
            EXPECT_EQ(types->count(), 5);
            EXPECT_EQ(types->currentIndex(), offered);
            EXPECT_EQ(QDir(dialog->directory()), QDir(m_out));
            EXPECT_EQ(name->text(), shownName);
            QTest::keyClick(types, Qt::Key_Home);
            for (int i = 0; i < c.filter; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            test::enterFileName(dialog, c.typed);
        });
        m_form->Build1Click();
        EXPECT_TRUE(driver.acted());
        written.append(c.written);
        written.sort();
        EXPECT_EQ(outputFiles(), written);
        const QByteArray bytes = test::readFile(m_out + u'/' + c.written);
        if (c.filter == 0)
            EXPECT_EQ(bytes,
                expectedPsq({ { m_clips + kSep + QStringLiteral("N1.avi"), QString() },
                    { m_clips + kSep + QStringLiteral("R2.avi"), QString() } }));
        else
            EXPECT_TRUE(bytes.contains(c.marker)) << bytes.left(200).toStdString();
        EXPECT_EQ(m_form->shownStatusText(),
            QStringLiteral("Конвертация завершена: записано файлов ") + c.name + QStringLiteral(": 1 в ")
                + QDir::toNativeSeparators(m_out));
        offered = c.filter;
        shownName = QFileInfo(m_form->psqFileName()).fileName();
    }
    m_form.reset();
    EXPECT_EQ(m_settings->read(QStringLiteral("LastFormat")), QStringLiteral("mlt"));
}

TEST_F(CommandsTest, RealPromptForAMissingSubstitutionOpensOnLastSubstAndLearnsThePick)
{
    m_settings->write(QStringLiteral("LastSubst"), m_clips + QStringLiteral("/N1.avi"));
    QtInteraction real;
    start(QStringLiteral("Фильм\r\n"), 0, {}, &real);
    test::ModalDriver driver({
        [&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Укажите файл \"Фильм \""));
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(types && name);
            EXPECT_EQ(types->count(), 1);
            EXPECT_EQ(types->currentText(), QStringLiteral("Файлы Avi (*.avi)"));
            EXPECT_EQ(QDir(dialog->directory()), QDir(m_clips));
            EXPECT_TRUE(name->text().isEmpty()) << "a hasty Enter maps nothing";
            test::enterFileName(dialog, QStringLiteral("R2.avi"));
        },
        [](QWidget *modal) { // every row resolved: the save dialog, cancelled
            EXPECT_EQ(modal->windowTitle(), ConversionRun::kSaveTitle);
            test::rejectModal(modal);
        },
    });
    m_form->Build1Click();
    EXPECT_TRUE(driver.acted());
    EXPECT_EQ(QString::fromLatin1(test::readFile(m_config + QStringLiteral("/Subst.cfg"))),
        QString::fromLatin1(test::cp1251(QStringLiteral("Фильм ; ")
            + QDir::toNativeSeparators(m_clips + QStringLiteral("/R2.avi")) + QStringLiteral("\r\n"))));
    EXPECT_TRUE(outputFiles().isEmpty());
}

TEST_F(CommandsTest, RealDeepCheckSaveDialogWritesTheReportWithTheCsvExtension)
{
    QtInteraction real;
    start(QStringLiteral("(N1)\r\n(Missing)\r\n"), 0, {}, &real);
    m_form->DeepCheck1Click();
    DeepCheckWindow *window = m_form->deepCheckWindow();
    ASSERT_NE(window, nullptr);
    test::ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Сохранить результат проверки"));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        EXPECT_EQ(types->currentText(), QStringLiteral("Файлы Excel (*.csv)"));
        test::enterFileName(dialog, QDir::toNativeSeparators(m_out + QStringLiteral("/check")));
    });
    window->saveClick();
    EXPECT_TRUE(driver.acted());
    EXPECT_EQ(outputFiles(), QStringList { "check.csv" });
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/check.csv")), deepCheckCsv(window->report()));
    window->hide();
}

TEST_F(CommandsTest, SeparatorValuesSplitAndNameTheFiles)
{
    start(QStringLiteral("(N1);K1;10:30\r\n(R2);K1;\r\n(N1);;\r\n(R2);K2;\r\n(N1);K1;\r\n"), 0, {1, 2});
    // Three files from five rows: asked once before the save dialog, No writes nothing.
    m_interaction.answerMessage(MessageAnswer::No);
    m_form->Build1Click();
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].text, QStringLiteral("Будет записано файлов: 3. Продолжить?"));
    EXPECT_EQ(m_interaction.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
    EXPECT_TRUE(outputFiles().isEmpty());

    m_interaction.answerMessage(MessageAnswer::Yes);
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
    // The row it stopped at stays framed, and the status bar names it.
    EXPECT_EQ(m_form->runRow(), 2);
    EXPECT_EQ(
        m_form->shownStatusText(), QStringLiteral("Конвертация остановлена на строке 2, файлы не записаны"));
    QTableView *grid = m_form->grid();
    const QRect cell = grid->visualRect(m_form->model().index(1, 0));
    const QImage shown = grid->viewport()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(cell.center().x(), cell.top()), m_form->palette().color(QPalette::Highlight));
    EXPECT_EQ(shown.pixelColor(cell.center()), QColor(0, 255, 0)) << "the row inside the frame as it was";

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
    // Rows chosen before the run stay chosen, whatever Esc does to the run.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    for (const auto &[row, modifiers] : {std::pair(0, Qt::NoModifier), std::pair(1, Qt::ShiftModifier)})
        QTest::mouseClick(m_form->grid()->viewport(), Qt::LeftButton, modifiers,
                          m_form->grid()->visualRect(m_form->model().index(row, 0)).center());
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
        EXPECT_EQ(m_form->grid()->selectedRows().ranges, (QList<std::pair<int, int>>{{1, 2}}));
    }
}

TEST_F(CommandsTest, DeepCheckReportsEveryRowAndLeadsBackToIt)
{
    writeClip(QStringLiteral("AMB1.avi"), {{"vids", 1, 25, 10}});
    writeClip(QStringLiteral("AMB2.avi"), {{"vids", 1, 25, 10}});
    test::writeFile(m_clips + QStringLiteral("/Bad.avi"), "not an avi");
    // The window's conversion asks for the file of a missing name, and stops a row later.
    start(QStringLiteral("(N1);K1\r\n(R2);K1\r\nФильм;K2\r\n(AMB);K2\r\n(Bad);K2\r\n"), 0, { 1 });
    const QByteArray settingsBefore = test::readFile(m_dir.filePath(QStringLiteral("settings.ini")));
    m_form->DeepCheck1Click();
    EXPECT_TRUE(m_interaction.messages.isEmpty()) << "the probe's box is recorded, not shown";
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
    DeepCheckWindow *window = m_form->deepCheckWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    QTableWidget *rows = window->rowTable();
    ASSERT_EQ(rows->rowCount(), 5);
    const QStringList statuses = { "найден", "найден", "не найден, спросит файл", "неоднозначен: 2 файла",
        "ошибка AVI: Не могу открыть AVI" };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows->item(i, 0)->text(), QString::number(i + 1));
        EXPECT_EQ(rows->item(i, 2)->text(), statuses[i]);
    }
    EXPECT_EQ(rows->item(0, 3)->text(), m_clips + kSep + QStringLiteral("N1.avi"));
    EXPECT_EQ(rows->item(0, 5)->text(), QStringLiteral("00:00:10:00"));
    EXPECT_EQ(rows->item(1, 5)->text(), QStringLiteral("00:00:10;00")); // 300 frames at 29.97, drop-frame
    EXPECT_EQ(window->groupTable()->rowCount(), 0) << "the conversion would stop at the fourth row";
    EXPECT_EQ(window->report().stopRow, 4);
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
    EXPECT_TRUE(
        test::readFile(saved).contains(test::cp1251(QStringLiteral("4;(AMB);неоднозначен: 2 файла;"))));

    // Widened for its columns (the long paths here), within the screen; "Обновить" checks again.
    int columns = 0;
    for (int c = 0; c < rows->columnCount(); ++c)
        columns += rows->columnWidth(c);
    const int screenWidth = window->screen()->availableGeometry().width();
    EXPECT_GE(window->width(), std::min(columns, screenWidth - 40));
    EXPECT_LE(window->width(), screenWidth - 40);
    writeClip(QStringLiteral("Bad.avi"), { { "vids", 1, 25, 10 } });
    window->refreshButton()->click();
    EXPECT_EQ(rows->item(4, 2)->text(), QStringLiteral("найден"));

    // While a check runs, commands wait; Esc stops it and the last report stays.
    test::writeFile(m_clips + QStringLiteral("/Bad.avi"), "not an avi");
    bool blocked = false;
    QTimer::singleShot(0, window, [&] {
        blocked = !m_form->menus()[1]->menuAction()->isEnabled() && !window->refreshButton()->isEnabled();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    window->refreshButton()->click();
    EXPECT_TRUE(blocked);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rows->item(4, 2)->text(), QStringLiteral("найден"));
    EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Подробная проверка прервана на строке 1"));
    EXPECT_TRUE(m_form->menus()[1]->menuAction()->isEnabled());
    EXPECT_TRUE(window->refreshButton()->isEnabled());

    // The stored pairs apply as in the next conversion: a PSQ file cannot carry "ü".
    m_settings->write(
        QStringLiteral("PathMap"), PathMap({ { m_clips, QStringLiteral("/mnt/Müller") } }).toStored());
    m_form->DeepCheck1Click();
    EXPECT_TRUE(rows->item(0, 2)->text().startsWith(QStringLiteral("не запишется: ")))
        << rows->item(0, 2)->text().toStdString();
    EXPECT_EQ(window->report().stopRow, 1);

    // A clip still to be asked for is one of its file's clips, not part of its length.
    m_settings->write(QStringLiteral("PathMap"), QString());
    start(QStringLiteral("(N1)\r\nФильм\r\n"), 0);
    m_form->DeepCheck1Click();
    const QList<DeepCheckGroup> groups = m_form->deepCheckWindow()->report().groups;
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0].clips, 2);
    EXPECT_EQ(groups[0].asked, 1);
    EXPECT_EQ(groups[0].frames, 250u);
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
    m_interaction.answerMessage(MessageAnswer::No); // the close: go on
    bool menusDisabledDuringRun = false;
    m_interaction.beforePickerAnswer = [&](const ScriptedInteraction::Picker &picker) {
        if (picker.kind != ScriptedInteraction::PickerKind::Open)
            return;
        const QList<QMenu *> menus = m_form->menus();
        menusDisabledDuringRun = !menus[0]->menuAction()->isEnabled() && !menus[1]->menuAction()->isEnabled()
            && !menus[2]->menuAction()->isEnabled() && menus[3]->menuAction()->isEnabled();
        // The prompt stands over the row it is about, named in the status bar.
        EXPECT_EQ(m_form->runRow(), 1);
        EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Строка 1: Фильм"));
        EXPECT_EQ(m_form->progress(), 1 * 100 / 3);
        m_form->close(); // asks, and No forgets the close
        EXPECT_TRUE(m_form->isVisible());
    };
    m_form->Build1Click();
    EXPECT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.pickers[0].request.title, QStringLiteral("Укажите файл \"Фильм \""));
    EXPECT_TRUE(menusDisabledDuringRun);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_EQ(m_interaction.messages[0].text, TForm1::kCancelQuestion);
    EXPECT_EQ(test::readFile(m_config + QStringLiteral("/Subst.cfg")),
              test::cp1251(QStringLiteral("Фильм ; ") + m_clips + QStringLiteral("/N1.avi\r\n")));
    EXPECT_EQ(outputFiles(), QStringList{"Day2.psq"});
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(m_form->runRow(), 0) << "a run that wrote its files leaves no row marked";
    for (QMenu *menu : m_form->menus())
        EXPECT_TRUE(menu->menuAction()->isEnabled());

    // Yes ends the run with nothing written, then closes the window.
    m_interaction.beforePickerAnswer = nullptr;
    start(QStringLiteral("Клип\r\n(N1)\r\n"), 0);
    m_interaction.answerPicker(m_clips + QStringLiteral("/R2.avi"));
    m_interaction.answerMessage(MessageAnswer::Yes);
    m_interaction.beforePickerAnswer = [&](const ScriptedInteraction::Picker &) { m_form->close(); };
    QDir(m_out).removeRecursively();
    m_form->Build1Click();
    EXPECT_TRUE(outputFiles().isEmpty());
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_TRUE(m_interaction.scriptUsedUp());
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
    EXPECT_EQ(m_form->shownStatusText(), QStringLiteral("Конвертация завершена: записано файлов PSQ: 1 в ")
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

TEST_F(CommandsTest, RowsChosenInTheGridAreWhatEveryRunTakesAndNoRunChangesThem)
{
    // Cassette K1's title, two clips, K2's title, three clips.
    start(QStringLiteral(" ;K1\r\n(N1);\r\n(R2);\r\n ;K2\r\n(N1);\r\n(Missing);\r\n(R2);\r\n"), 0, {1});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    ScheduleGrid *grid = m_form->grid();
    QWidget *viewport = grid->viewport();
    const auto at = [&](int row) { return grid->visualRect(m_form->model().index(row - 1, 0)).center(); };
    const auto chosen = [&] { return grid->selectedRows().ranges; };
    const QString path = m_form->statusText();

    // Begun inside K1's block: row 3 still goes to K1's file; row 6 is not looked at.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at(3));
    EXPECT_TRUE(chosen().isEmpty()) << "a click is no choice";
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, at(5));
    const QList<std::pair<int, int>> threeToFive = {{3, 5}};
    EXPECT_EQ(chosen(), threeToFive);
    EXPECT_EQ(m_form->shownStatusText(), path + QStringLiteral("  Строки 3–5: 3"));
    m_form->N6Click();
    EXPECT_EQ(m_interaction.lastMessageText(), QStringLiteral("Все готово к конвертации"));
    m_form->DeepCheck1Click();
    QTableWidget *lines = m_form->deepCheckWindow()->rowTable();
    QStringList statuses;
    for (int i = 0; i < lines->rowCount(); ++i)
        statuses << lines->item(i, 2)->text();
    EXPECT_EQ(statuses, (QStringList{"не выбрана", "не выбрана", "найден", "пустая ячейка", "найден",
                                     "не выбрана", "не выбрана"}));
    emit lines->cellDoubleClicked(5, 0);
    EXPECT_EQ(grid->currentIndex().row(), 5);
    m_interaction.answerMessage(MessageAnswer::Yes); // two files for two clips
    m_interaction.answerPicker(m_out + QStringLiteral("/Day1"));
    m_form->Build1Click();
    EXPECT_EQ(outputFiles(), (QStringList{"Day1^.K1.psq", "Day1^.K2.psq"}));
    EXPECT_EQ(test::readFile(m_out + QStringLiteral("/Day1^.K1.psq")),
              expectedPsq({{m_clips + kSep + QStringLiteral("R2.avi"), QString()}}));
    EXPECT_EQ(chosen(), threeToFive) << "neither the double-click nor the run moved it";
    EXPECT_TRUE(m_form->shownStatusText().startsWith(QStringLiteral("Конвертация завершена")));
    QTest::keyClick(grid, Qt::Key_Control);
    EXPECT_EQ(m_form->shownStatusText(), path + QStringLiteral("  Строки 3–5: 3")) << "back after a key";

    // Keys: a plain move clears, Shift extends from the current cell (the run
    // left it on its last row), Esc clears.
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_TRUE(chosen().isEmpty());
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(chosen(), (QList<std::pair<int, int>>{{5, 7}}));
    QTest::keyClick(grid, Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(chosen(), (QList<std::pair<int, int>>{{1, 5}}));
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_TRUE(chosen().isEmpty());

    // A drag, then a Ctrl+drag for a second range, which the check takes too.
    QTest::mousePress(viewport, Qt::LeftButton, {}, at(1));
    QTest::mouseMove(viewport, at(2));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(2));
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, at(5));
    QTest::mouseMove(viewport, at(6));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, at(6));
    EXPECT_EQ(chosen(), (QList<std::pair<int, int>>{{1, 2}, {5, 6}}));
    EXPECT_EQ(m_form->shownStatusText(), path + QStringLiteral("  Строки 1–2, 5–6: 4"));
    m_form->N6Click();
    EXPECT_EQ(m_listed, QStringList{"(Missing)"});

    // In edit mode too; Esc in a cell editor closes the editor only.
    QTest::keyClick(grid, Qt::Key_F2);
    ASSERT_TRUE(m_form->isEditMode());
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, at(7));
    EXPECT_EQ(chosen(), (QList<std::pair<int, int>>{{1, 2}, {5, 7}}));
    QTest::keyClick(grid, Qt::Key_X); // typing opens the current cell's editor
    QWidget *editor = grid->indexWidget(grid->currentIndex());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(grid->indexWidget(grid->currentIndex()), nullptr);
    EXPECT_EQ(chosen(), (QList<std::pair<int, int>>{{1, 2}, {5, 7}}));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at(7));
    EXPECT_TRUE(chosen().isEmpty());
    EXPECT_NE(grid->indexWidget(grid->currentIndex()), nullptr) << "a click on the current cell edits it";
}

TEST_F(CommandsTest, HiddenRowsInAChoiceStayHiddenAndAreNotCounted)
{
    start(QStringLiteral("(N1)\r\n(Missing)\r\n(R2)\r\n(N1)\r\n(Missing)\r\n"), 0);
    ScheduleTable table = m_form->model().table();
    table.setRowHidden(2, true);
    table.setRowHidden(5, true);
    m_form->model().setTable(std::move(table));
    QTest::mouseClick(m_form->grid()->viewport(), Qt::LeftButton, {},
                      m_form->grid()->visualRect(m_form->model().index(0, 0)).center());
    QTest::keyClick(m_form->grid(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(m_form->grid(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(m_form->shownStatusText().endsWith(QStringLiteral("  Строки 1–3: 2")))
        << m_form->shownStatusText().toStdString();
    m_form->DeepCheck1Click();
    QTableWidget *lines = m_form->deepCheckWindow()->rowTable();
    ASSERT_EQ(lines->rowCount(), 5);
    EXPECT_EQ(lines->item(1, 2)->text(), QStringLiteral("скрыта"));
    EXPECT_EQ(lines->item(3, 2)->text(), QStringLiteral("не выбрана"));
    EXPECT_EQ(lines->item(4, 2)->text(), QStringLiteral("скрыта")) << "hidden before not chosen";
    EXPECT_TRUE(m_form->deepCheckWindow()->report().allFound());
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
