#include "common/configdir.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace lintaro;

namespace {

QString buildDir()
{
    // The executables, this one included, are built into <build>/bin.
    QString bin = qEnvironmentVariable("LINTARO_BIN");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    return QDir::cleanPath(bin + QStringLiteral("/.."));
}

struct Outcome {
    int exitCode = -1;
    QString output;
};

Outcome run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        process.kill();
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAll()) };
}

QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Where this very executable, copied into a layout, keeps the configuration:
// it runs itself with the Reporter test selected, which writes the answer.
QString configDirectoryOfCopyIn(const QString &folder, const QString &overrideDir = QString())
{
    QDir().mkpath(folder);
    const QString copy = folder + QStringLiteral("/probe");
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    const QString answer = folder + QStringLiteral("/answer.txt");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LINTARO_REPORT_CONFIG_DIR"), answer);
    if (overrideDir.isEmpty())
        environment.remove(QStringLiteral("LINTARO_CONFIG_DIR"));
    else
        environment.insert(QStringLiteral("LINTARO_CONFIG_DIR"), overrideDir);
    const Outcome result = run(copy, { QStringLiteral("--gtest_filter=Reporter.*") }, environment);
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    return QString::fromUtf8(test::readFile(answer));
}

} // namespace

// Not a test of its own: the copies made above run only this, and it tells
// their parent where the configuration files would live.
TEST(Reporter, ConfigDirectory)
{
    const QString answer = qEnvironmentVariable("LINTARO_REPORT_CONFIG_DIR");
    if (answer.isEmpty())
        GTEST_SKIP() << "run by the layout tests only";
    const QString folder = configDirectory();
    const QString made = QFileInfo(folder).isDir() ? QStringLiteral("made") : QStringLiteral("missing");
    test::writeFile(answer, (folder + u'\n' + userConfigBase() + u'\n' + made).toUtf8());
}

TEST(Layout, EachLayoutKeepsTheConfigurationWhereItBelongs)
{
    QTemporaryDir root;
    // Installed: bin beside share/lintaro.
    QDir().mkpath(root.filePath(QStringLiteral("usr/share/lintaro")));
    const QStringList installed
        = configDirectoryOfCopyIn(root.filePath(QStringLiteral("usr/bin"))).split(u'\n');
    ASSERT_EQ(installed.size(), 3);
    EXPECT_EQ(installed[0], installed[1] + QStringLiteral("/Lintaro"));
    EXPECT_FALSE(installed[0].startsWith(root.path()));
    EXPECT_EQ(installed[2], QStringLiteral("made")); // ready for the first save

    // A build folder is named bin as well; a portable copy sits anywhere.
    for (const QString &folder : { QStringLiteral("build/bin"), QStringLiteral("portable/Lintaro") }) {
        const QString path = root.filePath(folder);
        EXPECT_EQ(configDirectoryOfCopyIn(path).section(u'\n', 0, 0), path) << folder.toStdString();
    }

    // The override wins over the installed layout.
    const QString chosen = root.filePath(QStringLiteral("chosen"));
    EXPECT_EQ(configDirectoryOfCopyIn(root.filePath(QStringLiteral("usr/bin")), chosen).section(u'\n', 0, 0),
        chosen);
}

TEST(Install, PutsTheProgramsTheDesktopEntryAndTheIcon)
{
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (cmake.isEmpty())
        GTEST_SKIP() << "cmake not found";
    QTemporaryDir prefix;
    const Outcome install
        = run(cmake, { QStringLiteral("--install"), buildDir(), QStringLiteral("--prefix"), prefix.path() });
    ASSERT_EQ(install.exitCode, 0) << install.output.toStdString();
    EXPECT_EQ(filesUnder(prefix.path()),
        (QStringList { "bin/lintaro", "bin/lintaro-cli", "share/applications/lintaro.desktop",
            "share/doc/lintaro/changelog.gz", "share/doc/lintaro/copyright",
            "share/icons/hicolor/scalable/apps/lintaro.svg", "share/lintaro/installed-layout.txt" }));
    EXPECT_TRUE(isInstalledLayout(prefix.filePath(QStringLiteral("bin"))));

    const QString entry
        = QString::fromUtf8(test::readFile(prefix.filePath("share/applications/lintaro.desktop")));
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    for (const char *line :
        {"\nType=Application\n", "\nName=Lintaro\n", "\nExec=lintaro %f\n", "\nIcon=lintaro\n",
            "\nMimeType=text/csv;\n"})
        EXPECT_TRUE(entry.contains(QString::fromUtf8(line))) << line;
    // "Open with" and a double-click on a schedule need an entry the desktop accepts.
    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validate.isEmpty()) {
        const Outcome valid = run(validate, { prefix.filePath("share/applications/lintaro.desktop") });
        EXPECT_EQ(valid.exitCode, 0) << valid.output.toStdString();
        EXPECT_EQ(valid.output, QString()) << "not even a hint";
    }
    const QByteArray icon = test::readFile(prefix.filePath("share/icons/hicolor/scalable/apps/lintaro.svg"));
    EXPECT_TRUE(icon.contains("<svg") && icon.contains("</svg>"));
}

TEST(Install, DebianPackageListsItsFilesAndDependencies)
{
    const QString cpack = QStandardPaths::findExecutable(QStringLiteral("cpack"));
    const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (cpack.isEmpty() || dpkgDeb.isEmpty())
        GTEST_SKIP() << "cpack or dpkg-deb not found";
    QTemporaryDir out;
    const Outcome pack = run(cpack,
        { QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
            buildDir() + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), out.path() });
    ASSERT_EQ(pack.exitCode, 0) << pack.output.toStdString();
    const QStringList debs = QDir(out.path()).entryList({ QStringLiteral("lintaro_*.deb") }, QDir::Files);
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out.filePath(debs[0]);

    const Outcome contents = run(dpkgDeb, { QStringLiteral("-c"), deb });
    ASSERT_EQ(contents.exitCode, 0);
    for (const char *file :
        { "./usr/bin/lintaro\n", "./usr/bin/lintaro-cli\n", "./usr/share/applications/lintaro.desktop\n",
            "./usr/share/icons/hicolor/scalable/apps/lintaro.svg\n",
            "./usr/share/lintaro/installed-layout.txt\n", "./usr/share/doc/lintaro/copyright\n",
            "./usr/share/doc/lintaro/changelog.gz\n" })
        EXPECT_TRUE(contents.output.contains(QString::fromUtf8(file))) << file;

    const Outcome fields
        = run(dpkgDeb, { QStringLiteral("-f"), deb, QStringLiteral("Package"), QStringLiteral("Depends") });
    EXPECT_TRUE(fields.output.contains(QStringLiteral("Package: lintaro\n")));
    for (const char *package :
         {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libavformat59", "libc6", "qt6-translations-l10n"})
        EXPECT_TRUE(fields.output.contains(QString::fromUtf8(package))) << fields.output.toStdString();

    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty()) {
        std::printf("lintian not found: the package's policy check is left out\n");
        return;
    }
    const Outcome check = run(lintian, { deb });
    for (const QString &line : check.output.split(u'\n'))
        EXPECT_FALSE(line.startsWith(QStringLiteral("E: "))) << line.toStdString();
}
