// lintaro-cli check and convert, run as the operator runs them: a child process
// with its own configuration folder (Folders.cfg, Subst.cfg) and settings.
#include "support/clirunner.h"
#include "support/fixtures.h"
#include "support/otioreader.h"
#include "support/riffbuilder.h"

#include "lookup/directorylisting.h"
#include "sequence/pathmap.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>

using namespace lintaro;
using namespace lintaro::test;

namespace {

struct Outcome : CliOutcome
{
    QStringList outLines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

// Every file under a folder with its bytes and modification time.
using Snapshot = QMap<QString, QPair<QByteArray, QDateTime>>;

Snapshot snapshot(const QString &folder)
{
    Snapshot files;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        files.insert(path, {info.isFile() ? readFile(path) : QByteArray(), info.lastModified()});
    }
    return files;
}

// A workspace of its own: clips, the configuration folder, the settings and an
// output folder, all under one temporary folder.
class CliCheckConvert : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_clips = m_root.filePath(QStringLiteral("Ролики"));
        m_config = m_root.filePath(QStringLiteral("config"));
        m_xdg = m_root.filePath(QStringLiteral("xdg"));
        m_out = m_root.filePath(QStringLiteral("out"));
        for (const QString &folder : {m_clips, m_config, m_xdg, m_out})
            QDir().mkpath(folder);
        writeFile(m_config + QStringLiteral("/Folders.cfg"), cp1251(m_clips + QStringLiteral("\r\n")));
    }

    // As the bracket search finds it: folder, the platform's separator, name.
    QString clip(const QString &name) const
    {
        return m_clips + DirectoryListing::separator() + name + QStringLiteral(".avi");
    }

    // A clip of the given length at 25 frames a second, without sound.
    void addClip(const QString &name, quint32 frames) const
    {
        writeFile(clip(name), riff::simpleAvi({{"vids", 1, 25, frames}}));
    }

    static MediaFacts factsOf(quint32 frames, qint32 mediaType = 1)
    {
        MediaFacts facts;
        facts.frameCount = frames;
        facts.sampleStep = 1;
        facts.scaledRate = 25;
        facts.mediaType = mediaType;
        return facts;
    }

    QString writeSchedule(const QStringList &lines) const
    {
        const QString path = m_root.filePath(QStringLiteral("schedule.csv"));
        writeFile(path, cp1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        return path;
    }

    QString settingsFile() const { return m_xdg + QStringLiteral("/Velmar Software/Lintaro.ini"); }

    // Stores a value where the tool reads it: the per-user file here, the
    // registry on Windows, where the test's values go again at its end.
    void storeForTool(const QString &name, const QString &value)
    {
#ifdef Q_OS_WIN
        SettingsStore().write(name, value);
        m_storedInRegistry.append(name);
#else
        QDir().mkpath(QFileInfo(settingsFile()).path());
        SettingsStore(settingsFile()).write(name, value);
#endif
    }
    QString storedForTool(const QString &name) const
    {
#ifdef Q_OS_WIN
        return SettingsStore().read(name);
#else
        return SettingsStore(settingsFile()).read(name);
#endif
    }
    void TearDown() override
    {
        for (const QString &name : m_storedInRegistry)
            SettingsStore().write(name, QString());
    }

    Outcome run(const QString &command, const QStringList &arguments,
                const std::function<void(QProcess &)> &prepare = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LINTARO_CONFIG_DIR"), m_config);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_xdg);
        return {runCli(QStringList{command} + arguments, environment, m_root.path(), prepare)};
    }

    Outcome convert(const QString &schedule, const QString &saveAs, const QStringList &more) const
    {
        return run(QStringLiteral("convert"), QStringList{schedule, QStringLiteral("--save-as"), saveAs} + more);
    }

    // Everything but the output folder, which only convert may write to.
    Snapshot stateOutsideOutput() const
    {
        Snapshot state = snapshot(m_root.path());
        for (auto it = state.begin(); it != state.end();)
            it = it.key().startsWith(m_out) ? state.erase(it) : std::next(it);
        return state;
    }

    QStringList outputFiles() const
    {
        QStringList names;
        QDirIterator files(m_out, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            names.append(QDir(m_out).relativeFilePath(files.next()));
        names.sort();
        return names;
    }

    QTemporaryDir m_root;
    QString m_clips;
    QString m_config;
    QString m_xdg;
    QString m_out;
    QStringList m_storedInRegistry;
};

TEST_F(CliCheckConvert, SeparatorValuesSplitTheFilesAndEachIsWrittenByteForByte)
{
    addClip(QStringLiteral("Rolik1"), 250);
    addClip(QStringLiteral("Rolik2"), 75);
    addClip(QStringLiteral("Rolik3"), 1);
    // K1, K1, (empty), K2: an empty value does not end the file.
    const QString schedule = writeSchedule({
        QStringLiteral("10:00;Новости (Rolik1) 12;K1"),
        QStringLiteral("10:05;( Rolik2 );K1"), // the code is trimmed, as the check trims it
        QStringLiteral("10:06; (Rolik3);"),
        QStringLiteral("10:07;(Rolik1);K2"),
    });
    const Snapshot before = stateOutsideOutput();

    const Outcome outcome
        = convert(schedule, m_out + QStringLiteral("/Day1.psq"), {"--source", "1", "--separator", "2"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err, QString());
    EXPECT_EQ(outcome.outLines(),
              QStringList({m_out + QStringLiteral("/Day1^.K1.psq"), m_out + QStringLiteral("/Day1^.K2.psq")}));
    EXPECT_EQ(outputFiles(), QStringList({"Day1^.K1.psq", "Day1^.K2.psq"}));

    PsqWriter first;
    first.appendClip(factsOf(250), clip(QStringLiteral("Rolik1")));
    first.appendClip(factsOf(75), clip(QStringLiteral("Rolik2")));
    first.appendClip(factsOf(1), clip(QStringLiteral("Rolik3")));
    PsqWriter second;
    second.appendClip(factsOf(250), clip(QStringLiteral("Rolik1")));
    EXPECT_EQ(readFile(m_out + QStringLiteral("/Day1^.K1.psq")), first.toBytes());
    EXPECT_EQ(readFile(m_out + QStringLiteral("/Day1^.K2.psq")), second.toBytes());

    EXPECT_EQ(stateOutsideOutput(), before) << "nothing but the sequence files may be written";
}

TEST_F(CliCheckConvert, FileNamesFromSeparatorValuesAndTheChosenName)
{
    addClip(QStringLiteral("Rolik1"), 10);
    const QString dir = m_out + u'/';
    struct Case
    {
        const char *what;
        QStringList rows; // Source;separator;separator
        QString saveAs;
        QStringList separators;
        QStringList names;
        QStringList format = {};
    };
    const QList<Case> cases = {
        {"two separator columns, only the first changes; forbidden characters",
         {"(Rolik1);K1;10:30", "(Rolik1);K2;10:30", "(Rolik1);K2;12/"},
         dir + "Day1.psq",
         {"--separator", "1", "--separator", "2"},
         {"Day1^.K1.10_30.psq", "Day1^.K2.10_30.psq", "Day1^.K2.12_.psq"}},
        {"a value that comes back gets a name of its own",
         {"(Rolik1);K1;", "(Rolik1);K2;", "(Rolik1);K1;"},
         dir + "Day1",
         {"--separator", "1"},
         {"Day1^.K1.psq", "Day1^.K1~2.psq", "Day1^.K2.psq"}},
        {"capital .PSQ is not the extension; no separators, no caret",
         {"(Rolik1);K1;", "(Rolik1);K2;"},
         dir + "Day1.PSQ",
         {},
         {"Day1.PSQ.psq"}},
        {"a file of an earlier run chosen again gives the same prefix",
         {"(Rolik1);K1;"},
         dir + "Day1^.K7.psq",
         {"--separator", "1"},
         {"Day1^.K1.psq"}},
        {"a caret or .psq in a folder name is no cut: the files go into that folder",
         {"(Rolik1);K1;"},
         dir + "week^2.psq.d/Day1.psq",
         {"--separator", "1"},
         {"week^2.psq.d/Day1^.K1.psq"}},
        {"another format: its extension instead of .psq, cut at .psq or at its own",
         {"(Rolik1);День1;К1"},
         dir + "Day1.psq",
         {"--separator", "1", "--separator", "2"},
         {"Day1^.День1.К1.edl"},
         {"--format", "edl"}},
        {"the format's own extension in the chosen name",
         {"(Rolik1);К1;", "(Rolik1);К1;"},
         dir + "День1.xml",
         {},
         {"День1.xml"},
         {"--format=xml"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(m_out).removeRecursively();
        QDir().mkpath(QFileInfo(c.saveAs).path());
        const Outcome outcome
            = convert(writeSchedule(c.rows), c.saveAs, QStringList{"--source", "0"} + c.separators + c.format);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outputFiles(), c.names);
        EXPECT_EQ(outcome.outLines().size(), c.names.size());
    }
}

TEST_F(CliCheckConvert, MappedPathsGoIntoEveryFormatAndTheStoredPairsApplyWithoutMap)
{
    addClip(QStringLiteral("Rolik1"), 25);
    const QString schedule = writeSchedule({"(Rolik1)"});
    const QString remote = QStringLiteral("E:\\ролики\\Rolik1.avi");
    for (const char *format : {"psq", "xml", "edl", "mlt"}) {
        SCOPED_TRACE(format);
        const Outcome outcome = convert(schedule, m_out + "/Day1",
                                        {"--source", "0", "--format", format, "--map", "/nowhere=X:",
                                         "--map", m_clips + "=E:\\ролики"});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        const QString written = m_out + "/Day1." + format;
        EXPECT_EQ(outcome.outLines(), QStringList{written});
        const QByteArray bytes = readFile(written);
        if (QByteArray(format) == "psq")
            EXPECT_TRUE(bytes.contains(cp1251("fname=E:\\\\ролики\\\\Rolik1.avi\r\n")));
        else if (QByteArray(format) == "xml")
            EXPECT_TRUE(bytes.contains("<pathurl>file://localhost/E:/%D1%80%D0%BE%D0%BB%D0%B8%D0%BA%D0%B8/Rolik1.avi<"));
        else
            EXPECT_TRUE(QString::fromUtf8(bytes).contains(remote)) << bytes.toStdString();
    }

    storeForTool(QStringLiteral("PathMap"), PathMap({{m_clips, "\\\\srv\\efir"}}).toStored());
    EXPECT_EQ(convert(schedule, m_out + "/Day2", {"--source", "0", "--format", "edl"}).status, 0);
    EXPECT_TRUE(readFile(m_out + "/Day2.edl").contains("* SOURCE FILE: \\\\srv\\efir\\Rolik1.avi\r\n"));
    // --map replaces the stored pairs.
    EXPECT_EQ(convert(schedule, m_out + "/Day3", {"--source", "0", "--format", "edl", "--map", "/x=/y"}).status, 0);
    EXPECT_TRUE(readFile(m_out + "/Day3.edl").contains(("* SOURCE FILE: " + clip("Rolik1")).toUtf8()));
}

TEST_F(CliCheckConvert, WhatAFormatCannotCarryStopsTheRunAndWritesNothing)
{
    addClip(QStringLiteral("Rolik1"), 25);
    addClip(QStringLiteral("\u4E2D"), 25);
    const QString schedule = m_root.filePath(QStringLiteral("utf8.csv"));
    writeFile(schedule, QStringLiteral("\uFEFF(Rolik1)\r\n(\u4E2D)\r\n").toUtf8());
    const Outcome psq = convert(schedule, m_out + "/Day1", {"--source", "0"});
    EXPECT_EQ(psq.status, 1);
    EXPECT_TRUE(psq.err.contains(QStringLiteral("U+4E2D"))) << psq.err.toStdString();
    EXPECT_EQ(outputFiles(), QStringList());
    const Outcome xml = convert(schedule, m_out + "/Day1", {"--source", "0", "--format", "xml"});
    EXPECT_EQ(xml.status, 0) << xml.err.toStdString();
    EXPECT_TRUE(readFile(m_out + "/Day1.xml").contains("/%E4%B8%AD.avi</pathurl>"));

    // No EDL runs at 18 frames a second: the first clip's rate stops it.
    writeFile(clip(QStringLiteral("E18")), riff::simpleAvi({{"vids", 1, 18, 36}}));
    const QString eighteen = m_root.filePath(QStringLiteral("e18.csv"));
    writeFile(eighteen, QByteArray("(E18)\r\n(Rolik1)\r\n"));
    const Outcome edl = convert(eighteen, m_out + "/Day1", {"--source", "0", "--format", "edl"});
    EXPECT_EQ(edl.status, 1);
    EXPECT_TRUE(edl.err.contains(QStringLiteral("EDL не поддерживает частоту 18 кадр/с: Day1.edl")))
        << edl.err.toStdString();
    EXPECT_EQ(outputFiles(), QStringList{"Day1.xml"});
}

TEST_F(CliCheckConvert, RowsBeforeTheFirstSeparatorValueAreNeverLookedAt)
{
    addClip(QStringLiteral("Rolik1"), 10);
    // A block title without a clip brings the cassette number; its file begins at the next clip.
    const QString schedule = writeSchedule({"Unknown;", "(Missing);", " ;K1", "(Rolik1);", "(Rolik1);"});
    const Outcome outcome = convert(schedule, m_out + "/Day1", {"--source", "0", "--separator", "1"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err, "строк без ролика: 1\n");
    EXPECT_EQ(outputFiles(), QStringList{"Day1^.K1.psq"});
    PsqWriter expected;
    expected.appendClip(factsOf(10), clip("Rolik1"));
    expected.appendClip(factsOf(10), clip("Rolik1"));
    EXPECT_EQ(readFile(m_out + "/Day1^.K1.psq"), expected.toBytes());

    // A column empty in every row: nothing is converted and nothing written.
    const Snapshot before = snapshot(m_root.path());
    const Outcome empty = convert(writeSchedule({"Unknown;", "(Missing); "}), m_out + "/Day2",
                                  {"--source", "0", "--separator", "1"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, QString());
    EXPECT_EQ(empty.err, QString());
    Snapshot after = snapshot(m_root.path());
    after.remove(m_root.filePath("schedule.csv"));
    Snapshot expectedState = before;
    expectedState.remove(m_root.filePath("schedule.csv"));
    EXPECT_EQ(after, expectedState);
}

TEST_F(CliCheckConvert, TheFirstFailingRowEndsTheRunWithNothingWritten)
{
    addClip(QStringLiteral("Rolik1"), 10);
    addClip(QStringLiteral("Amb1"), 10);
    addClip(QStringLiteral("Amb2"), 10);
    writeFile(m_config + "/Subst.cfg",
        cp1251(QStringLiteral("Заставка ; %1\r\nПропал ; %2\r\n").arg(clip("Rolik1"), clip("Gone"))));
    writeFile(m_out + "/Day1^.K1.psq", "earlier run");
    writeFile(clip("Broken"), "not a RIFF file");

    struct Case
    {
        const char *what;
        QString badRow;
        QString err;
    };
    const QList<Case> cases = {
        {"no file for the code", "  (Missing) 12", "Не могу найти файл \"(Missing) 12\"\n"},
        {"several candidates, none exact: the resolver's message first, naming the trimmed code", "( Amb )",
         QStringLiteral("Поиск Amb*.avi дал более одного результата:\n%1\n%2\n"
                        "Не могу найти файл \"( Amb )\"\n")
             .arg(clip("Amb1"), clip("Amb2"))},
        {"a missing substitution is never asked for", "Неизвестный", "Не могу найти файл \"Неизвестный\"\n"},
        {"an empty code matches no file", "Анонс ( )", "Не могу найти файл \"Анонс ( )\"\n"},
        {"a trimmed code without a file quotes the whole cell", " ( Missing\t) ", "Не могу найти файл \"( Missing\t)\"\n"},
        {"a file that is no AVI: both boxes name it", "(Broken)",
         QStringLiteral("Не могу открыть AVI\n%1\nОшибка обработки AVI файла\n%1\n")
             .arg(QDir::toNativeSeparators(clip("Broken")))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString schedule = writeSchedule({"(Rolik1);K1", "Заставка;K2", c.badRow + ";K2", "(Rolik1);K3"});
        const Snapshot ready = snapshot(m_root.path());
        const Outcome outcome = convert(schedule, m_out + "/Day1", {"--source", "0", "--separator", "1"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, QString());
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_EQ(snapshot(m_root.path()), ready) << "not a file may change, Subst.cfg included";
    }
}

TEST_F(CliCheckConvert, WithoutSourceTheStoredLayoutAndAudioApply)
{
    addClip(QStringLiteral("Rolik1"), 10);
    writeFile(m_clips + "/Rolik1.wav", "RIFF");
#ifdef Q_OS_WIN
    // The tool reads the registry; what this test stores there goes again.
    SettingsStore settings;
    const auto forget = qScopeGuard([&] {
        for (const char *name : {"ColWidths", "Brakes", "Source", "Audio"})
            settings.write(name, QString());
    });
#else
    SettingsStore settings(settingsFile());
#endif
    settings.write("ColWidths", "64;64;64");
    settings.write("Brakes", "0;0;1");
    settings.write("Source", "1");
    settings.write("Audio", "0110c"); // a WAV file beside the video
    const QString schedule = writeSchedule({"a;(Rolik1);K1", "b;(Rolik1);K2"});
    const Snapshot before = stateOutsideOutput();

    const Outcome stored = convert(schedule, m_out + "/Day1", {});
    EXPECT_EQ(stored.status, 0) << stored.err.toStdString();
    EXPECT_EQ(outputFiles(), QStringList({"Day1^.K1.psq", "Day1^.K2.psq"}));
    PsqWriter withSound;
    withSound.appendClip(factsOf(10, 3), clip("Rolik1"));
    EXPECT_EQ(readFile(m_out + "/Day1^.K1.psq"), withSound.toBytes());

    // --audio and --source replace what is stored, for this run only.
    const Outcome given = convert(schedule, m_out + "/Day2", {"--source", "1", "--audio", ""});
    EXPECT_EQ(given.status, 0) << given.err.toStdString();
    PsqWriter silent;
    silent.appendClip(factsOf(10), clip("Rolik1"));
    silent.appendClip(factsOf(10), clip("Rolik1"));
    EXPECT_EQ(readFile(m_out + "/Day2.psq"), silent.toBytes());

    EXPECT_EQ(stateOutsideOutput(), before) << "settings and configuration files stay as they were";
    EXPECT_EQ(settings.read("Brakes"), "0;0;1");

    // A damaged stored layout is an error before the walk.
    settings.write("Source", "x");
    const Outcome damaged = convert(schedule, m_out + "/Day3", {});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_EQ(damaged.err, "'x' is not a valid integer value\n");
    const Outcome damagedCheck = run("check", {schedule});
    EXPECT_EQ(damagedCheck.status, 2);
}

TEST_F(CliCheckConvert, CheckListsUnresolvedCellsUntrimmedAndQuietly)
{
    addClip(QStringLiteral("Rolik1"), 10);
    addClip(QStringLiteral("Amb1"), 10);
    addClip(QStringLiteral("Amb2"), 10);
    writeFile(m_config + "/Subst.cfg",
        cp1251(QStringLiteral("Заставка ; %1\r\nПропал ; %2\r\n").arg(clip("Rolik1"), clip("Gone"))));
    // Separator cells play no part: the empty ones are checked too.
    const QString schedule = writeSchedule({
        "Новости ( Rolik1 ) 12;",
        "  Неизвестный ;K1",
        "(Amb);K1",
        "Заставка;",
        "(Missing;K2",
        " \t;K2",
        "  Неизвестный ;K2",
        ";",
        "Анонс ( );K3",
        "Программа ();K3",
        "Х/ф Брат (16+) (Rolik1);K3",
        "Х/ф Брат (16+);K3",
    });
    const Snapshot before = snapshot(m_root.path());
    const Outcome some = run("check", {schedule, "--source", "0", "--separator", "1"});
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, "  Неизвестный \n(Amb)\n(Missing\n  Неизвестный \nАнонс ( )\nПрограмма ()\nХ/ф Брат (16+)\n");
    EXPECT_EQ(some.err, "строк без ролика: 2\n") << "an ambiguous code is only listed";
    EXPECT_EQ(snapshot(m_root.path()), before);

    const Outcome none = run("check", {writeSchedule({"(Rolik1)", " Заставка"}), "--source", "0"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, QString());
    EXPECT_EQ(none.err, QString());

    // Without pairs the empty row of the empty table is no pair for an empty cell.
    QFile::remove(m_config + "/Subst.cfg");
    const Outcome noPairs = run("check", {writeSchedule({"(Rolik1)", "  "}), "--source", "0"});
    EXPECT_EQ(noPairs.status, 0);
    EXPECT_EQ(noPairs.out, QString());
    EXPECT_EQ(noPairs.err, "строк без ролика: 1\n");

    // A folder that is not there (an unmounted share) is named first, and fails the check.
    const QString gone = m_root.filePath("share");
    writeFile(m_config + "/Folders.cfg", cp1251(m_clips + "\r\n" + gone + "\r\n\r\n" + gone + "\r\n"));
    const QString ready = writeSchedule({"(Rolik1)"});
    for (const QStringList &deep : {QStringList(), QStringList{"--deep"}}) {
        const Outcome unavailable = run("check", QStringList{ready, "--source", "0"} + deep);
        EXPECT_EQ(unavailable.status, 1);
        EXPECT_EQ(unavailable.err, "Директория поиска недоступна: " + gone + "\n");
    }
    const Outcome converted = convert(ready, m_out + "/Day1", {"--source", "0"});
    EXPECT_EQ(converted.status, 1);
    EXPECT_EQ(converted.err, "Директория поиска недоступна: " + gone + ". Продолжить без нее?\n");
    EXPECT_EQ(outputFiles(), QStringList());
}

TEST_F(CliCheckConvert, ClipTypesFromTheCommandLineReplaceTheStoredOnes)
{
    addClip(QStringLiteral("Rolik1"), 10);
    writeFile(m_clips + "/Mxf1.MXF", "not read by the check");
    const QString schedule = writeSchedule({"(Rolik1)", "(Mxf1)"});
    EXPECT_EQ(run("check", {schedule, "--source", "0"}).out, "(Mxf1)\n"); // avi alone, as always
    const Outcome both = run("check", {schedule, "--source", "0", "--type", "avi", "--type=mxf"});
    EXPECT_EQ(both.status, 0) << both.err.toStdString();

    storeForTool("ClipTypes", "mxf");
    EXPECT_EQ(run("check", {schedule, "--source", "0"}).out, "(Rolik1)\n");
    EXPECT_EQ(run("check", {schedule, "--source", "0", "--type", "AVI"}).out, "(Mxf1)\n");
    EXPECT_EQ(storedForTool("ClipTypes"), "mxf") << "the tool never stores the types";
}

TEST_F(CliCheckConvert, DeepCheckReportsEveryRowAndTheFilesTheConversionWouldWrite)
{
    addClip(QStringLiteral("Rolik1"), 250);
    addClip(QStringLiteral("Amb1"), 10);
    addClip(QStringLiteral("Amb2"), 10);
    addClip(QStringLiteral("Sound"), 25);
    writeFile(m_clips + "/Sound.wav", "RIFF");
    writeFile(clip("NTSC"), riff::simpleAvi({{"vids", 100, 2997, 1800}}, 33367));
    writeFile(clip("Broken"), "not a RIFF file");
    writeFile(clip("Half"), riff::simpleAvi({{"vids", 10, 125, 25}}, 80000));
    addClip(QStringLiteral("Day"), 24 * 3600 * 25);
    writeFile(m_config + "/Subst.cfg",
        cp1251(QStringLiteral("Заставка ; %1\r\nПропал ; %2\r\n").arg(clip("Rolik1"), clip("Gone"))));
    const QString found25 = "\tframes=250\tstep=1\trate=25\tmedia=1";
    const QString rolik = clip("Rolik1");
    const QString ntsc = "\tfound\t( NTSC )\t" + clip("NTSC") + "\tframes=1800\tstep=100\trate=2997\tmedia=1";
    // 12.5, 29.97 and 25 frames a second.
    const QStringList mixed = {"1\tfound\t(Half)\t" + clip("Half") + "\tframes=25\tstep=10\trate=125\tmedia=1",
                               "2" + ntsc, "3\tfound\t(Rolik1)\t" + rolik + found25};
    const QString umlaut = QStringLiteral("/mnt/Müller");

    struct Case
    {
        const char *what;
        QStringList rows;
        QStringList options;
        QStringList lines;
        int status;
        QString err = {};
        const char *readBack = nullptr; // the format converted and read back by OpenTimelineIO
    };
    const QList<Case> cases = {
        {"a block title without a clip: its cassette's file begins at the next clip; a %1 in a value",
         {"(Rolik1);K1", " ;Blk%1", "(Rolik1);"},
         {"--separator", "1"},
         {"1\tfound\t(Rolik1)\t" + rolik + found25, "2\tempty\t ", "3\tfound\t(Rolik1)\t" + rolik + found25,
          "#\t^.K1\tclips=1\tframes=250\tduration=00:00:10:00",
          "#\t^.Blk%1\tclips=1\tframes=250\tduration=00:00:10:00"},
         0,
         "строк без ролика: 1\n"},
        {"rows above the first separator value are listed but do not stop the conversion; mixed rates",
         {"Unknown;;", "(Rolik1);K1;10:30", "Заставка;K1;10:30", "( NTSC );K2;10:30", "a\t(Rolik1);;"},
         {"--separator", "1", "--separator", "2"},
         {"1\tmissing\tUnknown\tнет сопоставления \"Unknown\"", "2\tfound\t(Rolik1)\t" + rolik + found25,
          "3\tfound\tЗаставка\t" + rolik + found25,
          "4" + ntsc, "5\tfound\ta (Rolik1)\t" + rolik + found25,
          "#\t^.K1.10_30\tclips=2\tframes=500\tduration=00:00:20:00",
          // 1800 frames at 29.97 and 250 at 25 as 300 of them, drop-frame time code.
          "#\t^.K2.10_30\tclips=2\tframes=2100\tduration=00:01:10;02"},
         1},
        // The timeline's rate: PSQ the first clip's, 12.5; EDL and XML 25. Each
        // clip rounded on its own: 1800 frames at 29.97 are 1501.5 at 25, so 1502.
        {"mixed rates, PSQ",
         {"(Half)", "( NTSC )", "(Rolik1)"},
         {},
         mixed + QStringList{"#\t\tclips=3\tframes=901\tduration=00:01:12:01"},
         0},
        {"mixed rates, EDL",
         {"(Half)", "( NTSC )", "(Rolik1)"},
         {"--format", "edl"},
         mixed + QStringList{"#\t\tclips=3\tframes=1802\tduration=00:01:12:02"},
         0, {}, "edl"},
        {"mixed rates, XML",
         {"(Half)", "( NTSC )", "(Rolik1)"},
         {"--format=xml"},
         mixed + QStringList{"#\t\tclips=3\tframes=1802\tduration=00:01:12:02"},
         0, {}, "xml"},
        {"an EDL limit: a whole day is the file's error",
         {"(Day)"},
         {"--format", "edl"},
         {"1\tfound\t(Day)\t" + clip("Day") + "\tframes=2160000\tstep=1\trate=25\tmedia=1",
          "#\t\tclips=1\tframes=2160000\tduration=24:00:00:00\terror=EDL длиннее 24 часов"},
         1},
        {"the mapped path is judged: one Windows-1251 cannot carry stops PSQ",
         {"(Rolik1)"},
         {"--map", m_clips + "=" + umlaut},
         {"1\tunreadable\t(Rolik1)\t" + rolik + "\tСимвол \"ü\" (U+00FC) в тексте \"" + umlaut
              + "/Rolik1.avi\" не может быть сохранён в кодировке Windows-1251"},
         1},
        {"the same mapped path in XML",
         {"(Rolik1)"},
         {"--format", "xml", "--map", m_clips + "=" + umlaut},
         {"1\tfound\t(Rolik1)\t" + rolik + found25, "#\t\tclips=1\tframes=250\tduration=00:00:10:00"},
         0},
        {"a row the conversion would stop at: no file lines",
         {"(Rolik1);K1", "(Amb);K1", "(Broken);K2", "(Missing) 12;K2", "( );K2"},
         {"--separator", "1"},
         {"1\tfound\t(Rolik1)\t" + rolik + found25,
          "2\tambiguous\t(Amb)\t2 файла Amb*.avi\t" + clip("Amb1") + "\t" + clip("Amb2"),
          "3\tunreadable\t(Broken)\t" + clip("Broken") + "\tНе могу открыть AVI",
          "4\tmissing\t(Missing) 12\tнет файла Missing*.avi", "5\tmissing\t( )\tпустой код"},
         1},
        {"a substitution whose file is gone is named so, not by the probe",
         {"Пропал"},
         {},
         {"1\tunreadable\tПропал\t" + clip("Gone") + "\tфайл не существует: " + clip("Gone")},
         1},
        {"every type searched is named",
         {"(Missing)"},
         {"--type", "mxf", "--type", "avi"},
         {"1\tmissing\t(Missing)\tнет файла Missing*.mxf, Missing*.avi"},
         1},
        {"no separator columns: one file without a name; all found",
         {"Брат (16+) (Rolik1)", " (Sound)"},
         {},
         {"1\tfound\tБрат (16+) (Rolik1)\t" + rolik + found25,
          "2\tfound\t (Sound)\t" + clip("Sound") + "\tframes=25\tstep=1\trate=25\tmedia=1",
          "#\t\tclips=2\tframes=275\tduration=00:00:11:00"},
         0},
        {"--audio decides the WAV companion",
         {"(Sound)"},
         {"--audio", "."},
         {"1\tfound\t(Sound)\t" + clip("Sound") + "\tframes=25\tstep=1\trate=25\tmedia=3",
          "#\t\tclips=1\tframes=25\tduration=00:00:01:00"},
         0},
        {"rows chosen, the first inside the K1 block: the others are listed as skipped",
         {"(Rolik1);K1", "(Missing);K1", "(Rolik1);", " ;K2", "(Rolik1);", "(Missing);"},
         {"--separator", "1", "--rows", "5", "--rows=3-4"},
         {"1\tskipped\t(Rolik1)", "2\tskipped\t(Missing)", "3\tfound\t(Rolik1)\t" + rolik + found25,
          "4\tempty\t ", "5\tfound\t(Rolik1)\t" + rolik + found25, "6\tskipped\t(Missing)",
          "#\t^.K1\tclips=1\tframes=250\tduration=00:00:10:00",
          "#\t^.K2\tclips=1\tframes=250\tduration=00:00:10:00"},
         0,
         "строк без ролика: 1\n"},
        {"a separator column empty throughout: nothing to convert, no files",
         {"(Rolik1);"},
         {"--separator", "1"},
         {"1\tfound\t(Rolik1)\t" + rolik + found25},
         0},
    };
    const OtioReader otio;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString schedule = writeSchedule(c.rows);
        const Snapshot before = snapshot(m_root.path());
        const Outcome outcome = run("check", QStringList{schedule, "--deep", "--source", "0"} + c.options);
        EXPECT_EQ(outcome.status, c.status) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_EQ(outcome.outLines(), c.lines);
        EXPECT_EQ(snapshot(m_root.path()), before) << "the deep check writes nothing";
        if (!c.readBack)
            continue;
        if (!otio.available()) {
            std::printf("OpenTimelineIO not run, totals not read back: %s\n", qPrintable(otio.reason()));
            continue;
        }
        // The timeline's end where its reader places the last clip (at 25, as the timeline).
        ASSERT_EQ(convert(schedule, m_out + "/Back", QStringList{"--source", "0"} + c.options).status, 0);
        const QJsonObject timeline
            = otio.read(m_out + "/Back." + c.readBack, QByteArray(c.readBack) == "edl" ? "25" : QString());
        const QJsonArray video = timeline["tracks"].toArray().first()["clips"].toArray();
        ASSERT_FALSE(video.isEmpty()) << QJsonDocument(timeline).toJson().toStdString();
        const QJsonObject last = video.last().toObject();
        const qint64 end = qRound64(last["position"].toDouble() * last["rate"].toDouble())
            + last["duration"].toInteger();
        EXPECT_EQ(QStringLiteral("frames=%1").arg(end), c.lines.last().section(u'\t', 3, 3));
        QFile::remove(m_out + "/Back." + c.readBack);
    }
    const Outcome plain = run("check", {writeSchedule({"(Rolik1)"}), "--source", "0", "--audio", "."});
    EXPECT_EQ(plain.status, 2) << "--audio belongs to the deep check";

    // The check and the conversion take the same rows; one row given is that row alone.
    const QString chosen = writeSchedule({"(Rolik1);K1", "(Missing);K1", "(Rolik1);", " ;K2", "(Rolik1);"});
    const QStringList columns = {"--source", "0", "--separator", "1"};
    EXPECT_EQ(run("check", QStringList{chosen, "--rows", "2"} + columns).out, "(Missing)\n");
    EXPECT_EQ(run("check", QStringList{chosen, "--rows", "3–5"} + columns).status, 0);
    const Outcome converted = convert(chosen, m_out + "/Day1", QStringList{"--rows", "3-5"} + columns);
    EXPECT_EQ(converted.status, 0) << converted.err.toStdString();
    EXPECT_EQ(outputFiles(), (QStringList{"Day1^.K1.psq", "Day1^.K2.psq"}));
}

TEST_F(CliCheckConvert, ErrorsBeforeTheWorkExitWithTwo)
{
    addClip(QStringLiteral("Rolik1"), 10);
    const QString schedule = writeSchedule({"(Rolik1);K1"});
    // There is no mouse here: the message names the option instead.
    const QString noSource = "Не назначен столбец Источника: укажите его номер параметром --source "
                             "(столбцы нумеруются с 0)\n";
    for (const Outcome &outcome : {run("check", {schedule}), convert(schedule, m_out + "/Day1", {})}) {
        EXPECT_EQ(outcome.err, noSource);
        EXPECT_EQ(outcome.status, 2);
    }

    const QString missing = m_root.filePath("nothere.csv");
    const QString empty = m_root.filePath("empty.csv");
    writeFile(empty, "");
    const QString binary = m_root.filePath("binary.csv");
    writeFile(binary, QByteArray("\0\x01\x02;\xff\xfe", 6));
    // Special files are no schedules: a pipe would wait for a writer, /dev/zero never ends.
    const QString pipe = m_root.filePath("pipe.csv");
#ifdef Q_OS_UNIX
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
#endif
    const QString book = qEnvironmentVariable("LINTARO_TEST_DATA") + "/../../fuzz/corpus/workbook/calc.xlsx";
    const QString legacy
        = qEnvironmentVariable("LINTARO_TEST_DATA") + "/../../fuzz/corpus/workbook/legacy.xls";
    struct Case
    {
        QStringList arguments;
        QString err; // the first line, when it matters
    };
    const QList<Case> cases = {
        {{"check", book, "--source", "0"}, "В книге несколько листов: укажите один параметром --sheet:"},
        {{"check", book, "--source", "0", "--sheet", "Служебный"}, "В книге нет листа \"Служебный\"; ее листы:"},
        {{"convert", book, "--save-as", m_out + "/x", "--source", "0", "--sheet", "3"}, {}},
        {{"check", book, "--source", "0", "--sheet", "0"}, {}},
        {{"check", book, "--source", "0", "--sheet"}, {}},
        {{"check", schedule, "--source", "0", "--sheet", "1"},
         "--sheet действует только для книги (.xlsx, .ods), а не для текста"},
        {{"check", legacy, "--source", "0"},
         "Файл Excel 97–2003 (.xls) не поддерживается: сохраните его как .xlsx, .ods или CSV"},
        {{"check", missing, "--source", "0"}, "Cannot open file " + missing},
        {{"check", m_root.path(), "--source", "0"}, "Cannot open file " + m_root.path()},
        {{"check", empty, "--source", "0"}, "Расписание " + empty + " пусто"},
        {{"check", binary, "--source", "0"}, "Расписание " + binary + " пусто"},
        {{"check", schedule, "--source", "2"}, "В расписании нет столбца 2: его столбцы нумеруются от 0 до 1"},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--separator", "5"}, {}},
        {{"convert", missing, "--save-as", m_out + "/x", "--source", "0"}, "Cannot open file " + missing},
        {{"check", pipe, "--source", "0"}, "Cannot open file " + pipe},
        {{"convert", "/dev/zero", "--save-as", m_out + "/x", "--source", "0"}, "Cannot open file /dev/zero"},
        // A folder is no name: "out/" would give the hidden "out/.psq".
        {{"convert", schedule, "--save-as", m_out + "/", "--source", "0"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/.psq", "--source", "0", "--separator", "1"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/^.K1.psq", "--source", "0", "--separator", "1"}, {}},
        {{"check"}, {}},
        {{"check", schedule, schedule}, {}},
        {{"check", schedule, "--source"}, {}},
        {{"check", schedule, "--source", "-1"}, {}},
        {{"check", schedule, "--source", "one"}, {}},
        {{"check", schedule, "--source", "0", "--source", "1"}, {}},
        {{"check", schedule, "--separator", "1"}, {}},
        {{"check", schedule, "--source", "1", "--separator", "1"}, {}},
        {{"check", schedule, "--save-as", "x"}, {}},
        {{"convert", schedule, "--source", "0"}, {}},
        {{"convert", schedule, "--save-as", "", "--source", "0"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--audio", "CD"}, {}},
        {{"convert", schedule, "--save-as"}, {}},
        {{"check", schedule, "--source", "0", "--type", "mpg"}, {}},
        {{"check", schedule, "--source", "0", "--type"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--type", ".mxf"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--format", "EDL"}, {}},
        {{"check", schedule, "--source", "0", "--format", "edl"}, "--format и --map действуют только вместе с --deep"},
        {{"check", schedule, "--deep", "--source", "0", "--format", "EDL"}, {}},
        {{"check", schedule, "--deep", "--source", "0", "--map", "/mnt"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--map", "/mnt"}, {}},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--map", "=E:"}, {}},
        {{"check", schedule, "--source", "0", "--rows", "1-2"}, "В расписании нет строки 2, всего строк: 1"},
        {{"convert", schedule, "--save-as", m_out + "/x", "--source", "0", "--rows", "1", "--rows", "3"},
         "В расписании нет строки 3, всего строк: 1"},
        {{"check", schedule, "--source", "0", "--deep", "--rows", "2-1"},
         "В диапазоне строк --rows 2-1 начало больше конца"},
        {{"check", schedule, "--source", "0", "--rows", "0-1"}, "Строки нумеруются с 1: --rows 0-1"},
        {{"check", schedule, "--source", "0", "--rows", "1-"}, {}},
        {{"check", schedule, "--source", "0", "--rows", " 1"}, {}},
        {{"check", schedule, "--source", "0", "--rows"}, {}},
    };
    const Snapshot before = snapshot(m_root.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome outcome = run(c.arguments.first(), c.arguments.mid(1));
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, QString());
        EXPECT_FALSE(outcome.err.isEmpty());
        if (!c.err.isEmpty()) {
            EXPECT_EQ(outcome.err.section(u'\n', 0, 0), c.err);
        }
    }
    EXPECT_EQ(snapshot(m_root.path()), before);

    // The visible sheets, one a line; an exact name or a number picks one.
    EXPECT_EQ(run("check", {book, "--source", "0"}).err,
              "В книге несколько листов: укажите один параметром --sheet:\nЭфир\nЗаметки\n");
    // A merged-over Source cell is an empty one, a hidden row stays hidden.
    const QString deep = run("check", {book, "--deep", "--source", "2", "--sheet", "1"}).out;
    EXPECT_TRUE(deep.contains("\n3\tempty\tK1\n4\tempty\tK1\n5\thidden\tK2\n")) << deep.toStdString();
    for (const char *sheet : {"Заметки", "2"}) {
        const Outcome notes = run("check", {book, "--source", "0", "--sheet", sheet});
        EXPECT_EQ(notes.out, "только текст\n");
        EXPECT_EQ(notes.status, 1);
    }

#ifdef Q_OS_UNIX
    // The same for the configuration files.
    QFile::remove(m_config + "/Folders.cfg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_config + "/Folders.cfg").constData(), 0600), 0);
    const Outcome pipedConfig = run("check", {schedule, "--source", "0"});
    EXPECT_EQ(pipedConfig.status, 2);
    EXPECT_EQ(pipedConfig.err, "Cannot open file " + m_config + "/Folders.cfg\n");
#endif

    for (const char *command : {"check", "convert"}) {
        const Outcome help = run(command, {"--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.contains("--source"));
        EXPECT_TRUE(help.out.contains("--rows A-B"));
        EXPECT_TRUE(help.out.contains("--sheet ЛИСТ"));
        EXPECT_TRUE(help.out.contains("--format psq|xml|edl|mlt"));
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Использование: lintaro-cli ") + command));
    }
}

TEST_F(CliCheckConvert, AFileThatCannotBeCreatedEndsTheRunWithOne)
{
    addClip(QStringLiteral("Rolik1"), 10);
    const QString schedule = writeSchedule({"(Rolik1)"});
    const QString target = uncreatablePath(schedule, "Day1");
    const Outcome outcome = convert(schedule, target, {"--source", "0"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, QString());
    EXPECT_EQ(outcome.err, "Cannot create file " + target + ".psq\n");
}

// Another run replacing the same set holds out/Day1.lock: this run waits for
// it, then stops with nothing replaced; once it is gone the run goes through.
TEST_F(CliCheckConvert, ASetLockedByAnotherRunIsWaitedForThenLeftAlone)
{
    addClip(QStringLiteral("Rolik1"), 10);
    const QString schedule = writeSchedule({ "(Rolik1);K1" });
    const QString target = m_out + "/Day1^.K1.psq";
    writeFile(target, "yesterday");
    const QStringList arguments { schedule, "--save-as", m_out + "/Day1^.K7.psq", "--source", "0",
        "--separator", "1" };
    {
        QLockFile other(m_out + "/Day1.lock");
        ASSERT_TRUE(other.lock());
        QElapsedTimer waited;
        waited.start();
        const Outcome outcome = run("convert", arguments);
        EXPECT_GE(waited.elapsed(), 4500);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, QString());
        EXPECT_EQ(outcome.err, "Файлы заняты другой конвертацией: " + m_out + "/Day1\n");
        EXPECT_EQ(readFile(target), QByteArray("yesterday"));
    }
    const Outcome outcome = run("convert", arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_NE(readFile(target), QByteArray("yesterday"));
    EXPECT_EQ(outputFiles(), QStringList { "Day1^.K1.psq" }); // no lock file left
}

// A full disk at the second file of three: yesterday's set stays whole, the
// message names the file and the size limit's signal does not end the tool.
TEST_F(CliCheckConvert, AFullDiskReplacesNoFileOfTheSet)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a Unix fixture: a file size limit";
#else
    addClip(QStringLiteral("Rolik1"), 10);
    const QString schedule
        = writeSchedule({"(Rolik1);K1", "(Rolik1);K2", "(Rolik1);K2", "(Rolik1);K2", "(Rolik1);K3"});
    QStringList names;
    for (const char *k : {"K1", "K2", "K3"}) {
        names.append(m_out + "/Day1^." + k + ".psq");
        writeFile(names.last(), QByteArray("yesterday ") + k);
    }
    const auto limited = [](QProcess &process) {
        process.setChildProcessModifier([] {
            const rlimit limit{2000, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    };
    const Outcome outcome = run("convert", {schedule, "--save-as", m_out + "/Day1", "--source", "0", "--separator", "1"},
                                limited);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, QString());
    EXPECT_EQ(outcome.err, "Cannot create file " + names[1] + "\n");
    EXPECT_EQ(outputFiles(), (QStringList{"Day1^.K1.psq", "Day1^.K2.psq", "Day1^.K3.psq"}));
    for (const char *k : {"K1", "K2", "K3"})
        EXPECT_EQ(readFile(m_out + "/Day1^." + k + ".psq"), QByteArray("yesterday ") + k);
#endif
}

// 100,000 ";" on the first line over 5,000 short lines once took gigabytes.
TEST_F(CliCheckConvert, ARaggedScheduleIsCheckedInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not fit the sanitizer's shadow memory";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "an address space limit does not fit the sanitizer's shadow memory";
#endif
#endif
    const QString schedule = m_root.filePath("ragged.csv");
    writeFile(schedule, QByteArray(100000, ';') + "\r\n" + QByteArray("R;x\r\n").repeated(5000));
    const Outcome outcome = run("check", {schedule, "--source", "0"}, [](QProcess &process) {
#ifdef _WIN32
        Q_UNUSED(process); // no address space limit there; the run itself is the test
#else
        process.setChildProcessModifier([] {
            const rlimit limit{rlim_t(1) << 30, RLIM_INFINITY};
            ::setrlimit(RLIMIT_AS, &limit);
        });
#endif
    });
    EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
    EXPECT_EQ(outcome.outLines().size(), 5000); // every "R"; the empty first cell prints as an empty line
}

} // namespace
