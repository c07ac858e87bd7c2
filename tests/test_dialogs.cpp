#include "common/configdir.h"
#include "common/textfile.h"
#include "dialogs/audioplacement.h"
#include "dialogs/centring.h"
#include "dialogs/helptext.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace lintaro;

TEST(AudioPlacement, StoredFormIsFourFlagsAndTheLowerCaseDrive)
{
    AudioPlacement placement = AudioPlacement::defaults(QStringLiteral("C:\\Work"));
    EXPECT_EQ(placement.toStored(), QStringLiteral("1010c"));
    placement = {false, true, false, true, QChar(u'D')};
    EXPECT_EQ(placement.toStored(), QStringLiteral("0101d"));
    // No drive in effect still gives five characters, so the value reads back.
    placement.drive = QChar();
    EXPECT_EQ(placement.toStored().size(), 5);
}

TEST(AudioPlacement, DefaultDriveComesFromTheWorkingFolder)
{
    EXPECT_EQ(AudioPlacement::defaultDrive(QStringLiteral("E:/clips")), QChar(u'e'));
    EXPECT_EQ(AudioPlacement::defaultDrive(QStringLiteral("/home/operator")), QChar(u'c'));
    EXPECT_EQ(AudioPlacement::defaultDrive(QStringLiteral("\\\\server\\share")), QChar(u'c'));
    EXPECT_EQ(AudioPlacement::defaultDrive(QString()), QChar(u'c'));
}

TEST(AudioPlacement, LocationFollowsItemsTwoAndThree)
{
    AudioPlacement placement = AudioPlacement::defaults(QStringLiteral("D:\\"));
    EXPECT_EQ(placement.location(), QString());
    placement.insideAvi = false;
    placement.separateWav = true;
    EXPECT_EQ(placement.location(), QStringLiteral("."));
    placement.nextToVideo = false;
    placement.onDrive = true;
    EXPECT_EQ(placement.location(), QStringLiteral("d"));
    // Neither of the second pair chosen still means "on the drive".
    placement.onDrive = false;
    EXPECT_EQ(placement.location(), QStringLiteral("d"));
}

TEST(AudioPlacement, ApplyingAStoredValue)
{
    AudioPlacement placement = AudioPlacement::defaults(QStringLiteral("C:\\"));
    EXPECT_TRUE(placement.applyStored(QStringLiteral("0101D and more")));
    EXPECT_EQ(placement.toStored(), QStringLiteral("0101d"));
    EXPECT_EQ(placement.location(), QStringLiteral("d"));

    // Anything but "1" is "not chosen"; both of a pair may end up unchosen.
    EXPECT_TRUE(placement.applyStored(QStringLiteral("0x0Yc")));
    EXPECT_FALSE(placement.insideAvi || placement.separateWav || placement.nextToVideo || placement.onDrive);
    EXPECT_EQ(placement.location(), QString());

    // An empty value changes nothing.
    const AudioPlacement before = placement;
    EXPECT_TRUE(placement.applyStored(QString()));
    EXPECT_EQ(placement.toStored(), before.toStored());

    // A fifth character that is no letter keeps the drive in effect.
    EXPECT_TRUE(placement.applyStored(QStringLiteral("0101") + QChar(0)));
    EXPECT_EQ(placement.drive, QChar(u'c'));
}

TEST(AudioPlacement, AValueCutShortAppliesWhatIsThereAndFails)
{
    for (int length = 1; length <= 4; ++length) {
        AudioPlacement placement = AudioPlacement::defaults(QStringLiteral("C:\\"));
        EXPECT_FALSE(placement.applyStored(QStringLiteral("0101").left(length))) << length;
        EXPECT_FALSE(placement.insideAvi);
        EXPECT_EQ(placement.separateWav, length >= 2);
        EXPECT_EQ(placement.nextToVideo, length < 3);
        EXPECT_EQ(placement.onDrive, length >= 4);
        EXPECT_EQ(placement.drive, QChar(u'c'));
    }
}

TEST(AudioPlacement, LocationForTheCommandLineTool)
{
    const QString work = QStringLiteral("E:\\Work");
    EXPECT_EQ(audioLocationFromStored(QString(), work), QString());
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("0110c"), work), QStringLiteral("."));
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("0101d"), work), QStringLiteral("d"));
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("1001d"), work), QString());
    // Cut short: the defaults alone, not the half-applied value.
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("01"), work), QString());
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("0100"), work), QString());
    // Not a drive letter: the working folder's drive stays.
    EXPECT_EQ(audioLocationFromStored(QStringLiteral("0100?"), work), QStringLiteral("e"));
}

TEST(Centring, BoxCentredOverTheWindowWithTruncatingHalves)
{
    EXPECT_EQ(centredOver(QRect(100, 50, 800, 600), QSize(281, 106)), QPoint(100 + 259, 50 + 247));
    // Odd differences truncate towards zero, also when negative.
    EXPECT_EQ(centredOver(QRect(0, 0, 300, 200), QSize(281, 106)), QPoint(9, 47));
    // A box wider and taller than the window reaches out equally on both sides.
    EXPECT_EQ(centredOver(QRect(200, 100, 181, 60), QSize(281, 106)), QPoint(150, 77));
    EXPECT_EQ(centredOver(QRect(200, 100, 180, 60), QSize(281, 106)), QPoint(150, 77)); // -101 / 2 = -50
    EXPECT_EQ(centredOver(QRect(-500, -20, 100, 100), QSize(281, 106)), QPoint(-590, -23));
}

TEST(HelpText, TheShortGuideComesFirstAndASectionFollowsForEveryLaterCommand)
{
    const QString text = helpText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Конвертор эфирных листов :)\nПока кратко:")));
    // The short guide's paragraphs keep their order; notes come after two of them.
    qsizetype at = 0;
    for (const char *needle : { "F2", "Источник", "Разделитель", "Конвертация/Проверить", "(Rolik2345)",
             "Rolik2345*.avi", "Настройка/Директории Поиска", "Известные подстановки", "Конвертнуть", "^",
             "Adobe Premiere", "Проверить подробно", "Типы файлов роликов", "Пути на монтажной станции",
             "Final Cut Pro XML", "EDL", "MLT", "Kdenlive", "Выбор листа", "Строки, выбранные в таблице",
             "Esc", "перетащить", "файловом менеджере" }) {
        const qsizetype found = text.indexOf(QString::fromUtf8(needle), at);
        EXPECT_GE(found, at) << needle;
        at = std::max(at, found);
    }
    const QStringList paragraphs = text.split(QStringLiteral("\n\n"));
    EXPECT_TRUE(paragraphs[2].startsWith(QStringLiteral("   Теперь можно и без этого")))
        << "after the CSV export";
    EXPECT_TRUE(paragraphs[9].startsWith(QStringLiteral("   Что изменилось"))) << "after the conversion";
}

class ConfigFolder : public ::testing::Test
{
protected:
    QTemporaryDir root;
    QString path(const QString &relative) const { return root.filePath(relative); }
    void makeDir(const QString &relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
};

TEST_F(ConfigFolder, InstalledProgramUsesThePerUserFolder)
{
    makeDir(QStringLiteral("usr/bin"));
    makeDir(QStringLiteral("usr/share/lintaro"));
    const QString user = path(QStringLiteral("home/.config"));
    EXPECT_TRUE(isInstalledLayout(path(QStringLiteral("usr/bin"))));
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("usr/bin")), QString(), user), user + "/Lintaro");
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("usr/bin/")), QString(), user), user + "/Lintaro");
}

TEST_F(ConfigFolder, BuildFolderAndPortableCopyKeepTheFilesBesideTheExecutable)
{
    // A build folder is named bin too, but has no share/lintaro beside it.
    makeDir(QStringLiteral("build/bin"));
    makeDir(QStringLiteral("build/share"));
    makeDir(QStringLiteral("portable"));
    makeDir(QStringLiteral("portable/share/lintaro"));
    const QString user = path(QStringLiteral("home/.config"));
    EXPECT_FALSE(isInstalledLayout(path(QStringLiteral("build/bin"))));
    EXPECT_FALSE(isInstalledLayout(path(QStringLiteral("portable"))));
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("build/bin")), QString(), user),
              path(QStringLiteral("build/bin")));
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("portable")), QString(), user),
              path(QStringLiteral("portable")));
    // A file of that name is no installation either.
    makeDir(QStringLiteral("odd/bin"));
    test::writeFile(path(QStringLiteral("odd/share/lintaro")), "x");
    EXPECT_FALSE(isInstalledLayout(path(QStringLiteral("odd/bin"))));
}

TEST_F(ConfigFolder, TheOverrideWinsOverBoth)
{
    makeDir(QStringLiteral("usr/bin"));
    makeDir(QStringLiteral("usr/share/lintaro"));
    const QString chosen = path(QStringLiteral("elsewhere"));
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("usr/bin")), chosen, path(QStringLiteral("home"))),
              chosen);
    EXPECT_EQ(chooseConfigDirectory(path(QStringLiteral("build/bin")), chosen, path(QStringLiteral("home"))),
              chosen);
}

TEST_F(ConfigFolder, TheChosenFolderIsCreatedSoTheFirstSaveWorks)
{
    const QString chosen = path(QStringLiteral("new/deeper"));
    qputenv("LINTARO_CONFIG_DIR", chosen.toLocal8Bit());
    const QString folder = configDirectory();
    qunsetenv("LINTARO_CONFIG_DIR");
    EXPECT_EQ(folder, chosen);
    ASSERT_TRUE(QFileInfo(folder).isDir());
    textfile::writeAtomically(folder + QStringLiteral("/Folders.cfg"), "C:\\Video\r\n");
    EXPECT_EQ(test::readFile(folder + QStringLiteral("/Folders.cfg")), QByteArray("C:\\Video\r\n"));
}

TEST_F(ConfigFolder, PerUserRootHonoursXdgConfigHome)
{
    LINTARO_UNIX_FIXTURE("XDG_CONFIG_HOME");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("xdg")).toLocal8Bit());
    EXPECT_EQ(userConfigBase(), path(QStringLiteral("xdg")));
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(userConfigBase(), QDir::homePath() + QStringLiteral("/.config"));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(ConfigFolder, TheTestExecutableRunsFromABuildFolder)
{
    qunsetenv("LINTARO_CONFIG_DIR");
    EXPECT_EQ(configDirectory(), QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

TEST(WindowsConfigPlace, BesideTheProgramWhenWritableElsePerUserReadingBesideUntilSaved)
{
    const QString exe = QStringLiteral("C:/Program Files/Lintaro");
    const QString appData = QStringLiteral("C:/Users/op/AppData/Roaming");
    const QString beside = exe + QStringLiteral("/Subst.cfg");
    const QString perUser = appData + QStringLiteral("/Lintaro/Subst.cfg");
    struct Case
    {
        const char *what;
        QStringList existing;
        QStringList writable; // files, or a folder's name for "a file can be made there"
        QString overrideDir;
        ConfigFilePlace expected;
    };
    const QList<Case> cases = {
        {"a writable program folder", {}, {exe}, {}, {beside, beside}},
        {"a writable file in a read-only folder is used in place", {beside}, {beside}, {}, {beside, beside}},
        {"read-only, nothing saved per user yet", {beside}, {}, {}, {beside, perUser}},
        {"read-only, no file anywhere", {}, {}, {}, {beside, perUser}},
        {"read-only, saved per user before", {beside, perUser}, {}, {}, {perUser, perUser}},
        {"the override wins", {beside}, {exe}, QStringLiteral("Z:/cfg"),
         {QStringLiteral("Z:/cfg/Subst.cfg"), QStringLiteral("Z:/cfg/Subst.cfg")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ConfigFileAccess access;
        access.exists = [&](const QString &path) { return c.existing.contains(path); };
        access.canWrite = [&](const QString &path) {
            return c.existing.contains(path) ? c.writable.contains(path)
                                             : c.writable.contains(QFileInfo(path).path());
        };
        EXPECT_EQ(chooseWindowsConfigFilePlace(QStringLiteral("Subst.cfg"), exe, c.overrideDir, appData, access),
                  c.expected);
    }
}
