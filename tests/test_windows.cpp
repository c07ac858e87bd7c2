// What only Windows has: the registry, drive letters, "\" paths and the WAV
// companion on another drive. Built for Windows only; under Wine the build's
// own prefix holds the registry, and drive Y: is mapped by the test script.
#include "common/configdir.h"
#include "common/failure.h"
#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "sequence/aviprobe.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"
#include "support/clirunner.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

using namespace lintaro;
using namespace lintaro::test;

namespace {

const QString kUserKey = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Velmar Software\\LintaroTest");
const QString kMachineKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\LintaroTest");

// Runs Windows' own reg.exe and returns what it printed; status in *status.
QString reg(const QStringList &arguments, int *status = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("reg"), arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

void dropTestKeys()
{
    reg({ "delete", kUserKey, "/f" });
    reg({ "delete", kMachineKey, "/f", "/reg:32" });
}

class Registry : public ::testing::Test
{
protected:
    void SetUp() override { dropTestKeys(); }
    void TearDown() override { dropTestKeys(); }
    SettingsStore m_store = SettingsStore::inRegistry(kUserKey, kMachineKey);
};

// A folder on drive Z: (Wine's view of the Unix root), for paths as an
// operator types them; skipped where there is no such drive.
std::unique_ptr<QTemporaryDir> driveZFolder()
{
    if (!QFileInfo(QStringLiteral("Z:/tmp")).isDir())
        return {};
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("Z:/tmp/lintaro-win-XXXXXX"));
    return dir->isValid() ? std::move(dir) : nullptr;
}

} // namespace

TEST_F(Registry, WritesLandUnderTheUserKeyAsPlainStrings)
{
    m_store.write(QStringLiteral("LastCSV"), QStringLiteral("Z:\\Schedules\\day.csv"));
    m_store.write(QStringLiteral("LastPSQ"), QString());
    const QString shown = reg({ "query", kUserKey });
    EXPECT_TRUE(shown.contains(
        QRegularExpression(QStringLiteral("LastCSV\\s+REG_SZ\\s+Z:\\\\Schedules\\\\day\\.csv"))))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QRegularExpression(QStringLiteral("LastPSQ\\s+REG_SZ"))))
        << shown.toStdString();
    int status = 0;
    reg({ "query", kMachineKey, "/reg:32" }, &status);
    EXPECT_NE(status, 0) << "nothing is written under HKEY_LOCAL_MACHINE";

    // Cyrillic texts come back unchanged, an empty value reads as empty.
    m_store.write(QStringLiteral("LastSubst"), QStringLiteral("C:\\Ролики\\Заставка.avi"));
    EXPECT_EQ(m_store.read(QStringLiteral("LastSubst")), QStringLiteral("C:\\Ролики\\Заставка.avi"));
    EXPECT_EQ(m_store.read(QStringLiteral("LastPSQ")), QString());
    EXPECT_EQ(m_store.read(QStringLiteral("Brakes")), QString());
}

TEST_F(Registry, ValuesOfEarlierVersionsAreReadFromTheMachineKey)
{
    int status = -1;
    reg({ "add", kMachineKey, "/v", "Audio", "/d", "0101d", "/f", "/reg:32" }, &status);
    ASSERT_EQ(status, 0);
    reg({ "add", kMachineKey, "/v", "Source", "/t", "REG_EXPAND_SZ", "/d", "2", "/f", "/reg:32" });
    EXPECT_EQ(m_store.read(QStringLiteral("Audio")), QStringLiteral("0101d"));
    EXPECT_EQ(m_store.read(QStringLiteral("Source")), QStringLiteral("2"));

    // Once written, the user's value wins and the machine's stays as it was.
    m_store.write(QStringLiteral("Audio"), QStringLiteral("1010c"));
    EXPECT_EQ(m_store.read(QStringLiteral("Audio")), QStringLiteral("1010c"));
    EXPECT_TRUE(reg({ "query", kMachineKey, "/v", "Audio", "/reg:32" }).contains(QStringLiteral("0101d")));
    // An empty value under the user key is a value: no fallback.
    m_store.write(QStringLiteral("Source"), QString());
    EXPECT_EQ(m_store.read(QStringLiteral("Source")), QString());
}

TEST_F(Registry, AValueThatIsNotTextNamesItself)
{
    reg({ "add", kUserKey, "/v", "ColWidths", "/t", "REG_DWORD", "/d", "64", "/f" });
    reg({ "add", kMachineKey, "/v", "Brakes", "/t", "REG_DWORD", "/d", "1", "/f", "/reg:32" });
    for (const char *name : { "ColWidths", "Brakes" }) {
        try {
            m_store.read(QString::fromLatin1(name));
            ADD_FAILURE() << name << " read without an error";
        } catch (const Failure &failure) {
            EXPECT_EQ(
                failure.message(), QStringLiteral("Invalid data type for '%1'").arg(QLatin1String(name)));
        }
    }
}

TEST(RegistryKey, TheProgramWritesWhereAStandardUserMay)
{
    EXPECT_TRUE(SettingsStore().location().endsWith(
        QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Velmar Software\\Lintaro")))
        << SettingsStore().location().toStdString();
}

TEST(ConfigFiles, BesideTheExecutableWhileItsFolderIsWritable)
{
    const QByteArray saved = qgetenv("LINTARO_CONFIG_DIR");
    qunsetenv("LINTARO_CONFIG_DIR");
    const ConfigFilePlace place = configFilePlace(QStringLiteral("Folders.cfg"), false);
    qputenv("LINTARO_CONFIG_DIR", saved);
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/Folders.cfg");
    EXPECT_EQ(place, (ConfigFilePlace { beside, beside }));
    EXPECT_TRUE(QDir(QCoreApplication::applicationDirPath())
                    .entryList({ QStringLiteral(".lintaro-probe-*") }, QDir::Files | QDir::Hidden)
                    .isEmpty())
        << "the probe leaves nothing behind";
}

TEST(ConfigFiles, ANotWritableProgramFolderSavesUnderAppData)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("Program Files/Lintaro"));
    const QString appData = dir.filePath(QStringLiteral("Roaming"));
    writeFile(program + QStringLiteral("/Folders.cfg"), "C:\\Clips\r\n");
    const QByteArray saved = qgetenv("LINTARO_CONFIG_DIR");
    qunsetenv("LINTARO_CONFIG_DIR");

    // Wine lets anyone write anywhere; the write beside the program is refused here.
    ConfigFileAccess refusing = diskAccess();
    refusing.canWrite = [&](const QString &path) { return !path.startsWith(program); };
    const ConfigFilePlace place
        = chooseWindowsConfigFilePlace(QStringLiteral("Folders.cfg"), program, QString(), appData, refusing);
    EXPECT_EQ(place.readPath, program + QStringLiteral("/Folders.cfg"))
        << "read from beside the program until saved";
    EXPECT_EQ(place.savePath, appData + QStringLiteral("/Lintaro/Folders.cfg"));
    SearchFolderModel model;
    model.load(place.readPath);
    EXPECT_EQ(model.list().texts(), QStringList { QStringLiteral("C:\\Clips") });
    model.appendFolder(QStringLiteral("D:\\Ads"));
    QDir().mkpath(appData + QStringLiteral("/Lintaro"));
    textfile::writeAtomically(place.savePath, model.list().fileBytes());
    qputenv("LINTARO_CONFIG_DIR", saved);

    EXPECT_EQ(
        readFile(appData + QStringLiteral("/Lintaro/Folders.cfg")), QByteArray("C:\\Clips\r\nD:\\Ads\r\n"));
    EXPECT_EQ(readFile(program + QStringLiteral("/Folders.cfg")), QByteArray("C:\\Clips\r\n"));
    EXPECT_EQ(
        chooseWindowsConfigFilePlace(QStringLiteral("Folders.cfg"), program, QString(), appData, refusing)
            .readPath,
        QDir::cleanPath(appData + QStringLiteral("/Lintaro/Folders.cfg")))
        << "once saved per user, it is read from there";
}

TEST(WindowsPaths, SearchFolderOnDriveZCyrillicNamesAndTheSequenceFile)
{
    const std::unique_ptr<QTemporaryDir> dir = driveZFolder();
    if (!dir)
        GTEST_SKIP() << "no drive Z:";
    const QString root = QDir::toNativeSeparators(dir->path());
    const QString clips = root + QStringLiteral("\\Ролики");
    writeFile(clips + QStringLiteral("\\Заставка1.avi"), riff::simpleAvi({ { "vids", 1, 25, 250 } }));
    writeFile(clips + QStringLiteral("\\Rolik2.avi"), riff::simpleAvi({ { "vids", 1, 25, 10 } }));

    // The bracket search puts "\" between folder and name, also after a "\".
    SearchFolderModel folders;
    folders.load(root + QStringLiteral("\\Folders.cfg"));
    folders.appendFolder(clips + u'\\');
    folders.appendFolder(clips);
    SettingsStore settings(root + QStringLiteral("\\settings.ini"));
    SubstitutionModel substitutions(settings);
    ScriptedInteraction interaction;
    const ClipResolver resolver(folders, substitutions, interaction);
    EXPECT_EQ(
        resolver.bracketSearch(QStringLiteral("Rolik2"), true), clips + QStringLiteral("\\\\Rolik2.avi"))
        << "the same folder twice: the first exact one, found through the folder ending in \\";
    folders.removeFolder(1);
    EXPECT_EQ(
        resolver.bracketSearch(QStringLiteral("Заставка"), true), clips + QStringLiteral("\\Заставка1.avi"));

    // The command-line tool, Cyrillic schedule and output names, "\" paths.
    const QString config = root + QStringLiteral("\\config");
    writeFile(config + QStringLiteral("\\Folders.cfg"), cp1251(clips + QStringLiteral("\r\n")));
    writeFile(
        root + QStringLiteral("\\Эфир.csv"), cp1251(QStringLiteral("(Заставка);К1\r\n(Rolik2);К1\r\n")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LINTARO_CONFIG_DIR"), config);
    QDir().mkpath(root + QStringLiteral("\\Выход"));
    const CliOutcome outcome = runCli({ "convert", root + QStringLiteral("\\Эфир.csv"), "--save-as",
                                          root + QStringLiteral("\\Выход\\День1"), "--source", "0" },
        environment);
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QByteArray psq = readFile(root + QStringLiteral("\\Выход\\День1.psq"));
    const QString doubled = QString(clips).replace(u'\\', QStringLiteral("\\\\"));
    EXPECT_TRUE(
        psq.contains(cp1251(QStringLiteral("fname=") + doubled + QStringLiteral("\\\\Заставка1.avi\r\n"))))
        << psq.toStdString();
    EXPECT_TRUE(
        psq.contains(cp1251(QStringLiteral("fname=") + doubled + QStringLiteral("\\\\Rolik2.avi\r\n"))));
    EXPECT_TRUE(
        PsqWriter::escapePath(QStringLiteral("D:\\Clips\\a.avi")) == QStringLiteral("D:\\\\Clips\\\\a.avi"));
}

TEST(WindowsPaths, TheWavCompanionOnAnotherDrive)
{
    const QString drive = qEnvironmentVariable("LINTARO_TEST_SECOND_DRIVE"); // "Y:"
    if (drive.size() != 2 || !QFileInfo(drive + u'/').isDir())
        GTEST_SKIP() << "no second drive mapped (LINTARO_TEST_SECOND_DRIVE)";
    QTemporaryDir dir;
    const QString clip = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Звук\\a.avi")));
    ASSERT_EQ(clip.at(1), u':');
    writeFile(clip, riff::simpleAvi({ { "vids", 1, 25, 25 } }));
    const QString letter = drive.left(1).toLower();
    const QString wav = letter + clip.mid(1).chopped(3) + QStringLiteral("wav");
    EXPECT_EQ(AviProbe::wavCompanionPath(clip, letter), wav);

    EXPECT_EQ(AviProbe::probe(clip, letter).facts->mediaType, 1);
    writeFile(wav, "RIFF");
    EXPECT_EQ(AviProbe::probe(clip, letter).facts->mediaType, 3);
    EXPECT_EQ(AviProbe::probe(clip, QStringLiteral(".")).facts->mediaType, 1) << "not beside the video";
    QDir(QFileInfo(wav).absolutePath()).removeRecursively();
}
