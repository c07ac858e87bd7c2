// The whole first day, in process: start-up creates the windows, the operator
// opens the sample schedule, marks its columns with the header popup, runs the
// check and the conversion, answering every dialog; the sequence files written
// must equal the committed ones byte for byte.
#include "app/application.h"
#include "app/tform1.h"
#include "lookup/tform4.h"
#include "schedule/schedulemodel.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>

using namespace lintaro;

namespace {

QString sample(const QString &name)
{
    return qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/firstrun/") + name;
}

void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

// Runs in a copy of the sample, as its working folder, so that the paths the
// files hold are the same on every machine.
class FirstRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        copyTree(sample(QString()), m_dir.path() + u'/');
        m_previousFolder = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        QDir().mkpath(QStringLiteral("out"));
        qputenv("LINTARO_CONFIG_DIR", m_dir.path().toLocal8Bit());
    }
    void TearDown() override
    {
        qunsetenv("LINTARO_CONFIG_DIR");
        QDir::setCurrent(m_previousFolder);
    }

    QTemporaryDir m_dir;
    QString m_previousFolder;
};

void markColumn(TForm1 &form, int column, void (TForm1::*command)())
{
    QHeaderView *header = form.grid()->horizontalHeader();
    form.StringGrid1ContextPopup(QPoint(header->sectionViewportPosition(column) + 3, 3));
    form.popupMenu()->hide();
    (form.*command)();
}

} // namespace

TEST_F(FirstRun, OpenMarkCheckAndConvert)
{
    LINTARO_UNIX_FIXTURE("the expected sequence files hold paths with \"/\"");
    test::ScriptedInteraction interaction;
    SettingsStore settings(m_dir.filePath(QStringLiteral("settings.ini")));
    std::unique_ptr<TForm1> form = createWindows(interaction, settings);
    QStringList listed;
    form->setModalRunner([&](QDialog &dialog) {
        if (auto *list = qobject_cast<TForm4 *>(&dialog))
            listed = list->entries();
        dialog.done(QDialog::Accepted);
    });
    form->show();

    interaction.answerPicker(QDir::current().absoluteFilePath(QStringLiteral("schedule.csv")));
    form->Open1Click();
    ASSERT_TRUE(form->grid()->isVisible());
    markColumn(*form, 1, &TForm1::setsrcClick);
    markColumn(*form, 2, &TForm1::setbrClick);

    // The check finds everything but the name that only the operator knows.
    form->N6Click();
    EXPECT_EQ(listed, (QStringList{"Заставка", "Заставка"}));
    EXPECT_TRUE(interaction.messages.isEmpty());

    // The conversion asks for it once, then for the name prefix.
    interaction.answerPicker(QStringLiteral("clips/intro.avi"));
    interaction.answerPicker(QDir::current().absoluteFilePath(QStringLiteral("out/День1.psq")));
    form->Build1Click();
    EXPECT_TRUE(interaction.messages.isEmpty()) << interaction.lastMessageText().toStdString();
    EXPECT_TRUE(interaction.scriptUsedUp());

    const QStringList written = QDir(QStringLiteral("out")).entryList(QDir::Files, QDir::Name);
    // After a deliberate change of the file format: LINTARO_WRITE_EXPECTED=1
    // writes the new files over the expected ones, to be read and committed.
    if (qEnvironmentVariableIsSet("LINTARO_WRITE_EXPECTED")) {
        for (const QString &name : written)
            test::writeFile(sample(QStringLiteral("expected/")) + name, test::readFile(QStringLiteral("out/") + name));
    }
    const QStringList expected = QDir(sample(QStringLiteral("expected"))).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(written, (QStringList{"День1^.К1.psq", "День1^.К2.psq"}));
    EXPECT_EQ(written, expected);
    for (const QString &name : expected) {
        EXPECT_EQ(test::readFile(QStringLiteral("out/") + name),
                  test::readFile(sample(QStringLiteral("expected/")) + name))
            << name.toStdString();
    }
    EXPECT_EQ(test::readFile(QStringLiteral("Subst.cfg")),
              test::cp1251(QStringLiteral("Заставка ; clips/intro.avi\r\n")));

    // The next check finds everything.
    form->N6Click();
    ASSERT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(interaction.messages[0].text, QStringLiteral("Все готово к конвертации"));
}
