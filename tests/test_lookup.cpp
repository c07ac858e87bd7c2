// Search folders, substitutions and the clip resolver, without windows.
#include "common/failure.h"
#include "common/fileset.h"
#include "lookup/clipresolver.h"
#include "lookup/cliptypes.h"
#include "lookup/directorylisting.h"
#include "lookup/listingcache.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "schedule/scheduleimport.h"
#include "sequence/conversionrun.h"
#include "settings/settingsstore.h"
#include "support/cliptree.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QProcess>
#include <QTemporaryDir>

using namespace lintaro;

namespace {

const QString kSep = QString(DirectoryListing::separator());

QStringList folderRows(const SearchFolderModel &model)
{
    return model.list().texts();
}

QList<Substitution> pairs(const SubstitutionModel &model)
{
    return model.table().rows();
}

class LookupFiles : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString foldersFile() const { return path(QStringLiteral("Folders.cfg")); }
    QString substFile() const { return path(QStringLiteral("Subst.cfg")); }

    QTemporaryDir m_dir;
    SettingsStore m_settings{m_dir.filePath(QStringLiteral("settings.ini"))};
};

} // namespace

// --- Folders.cfg -----------------------------------------------------------

TEST_F(LookupFiles, FoldersLoadTrimsKeepsEmptyRowsAndSaveDropsThem)
{
    test::writeFile(foldersFile(), "C:\\Clips\r\n\r\n  D:\\Ads  \r\n");
    SearchFolderModel model;
    model.load(foldersFile());
    EXPECT_EQ(folderRows(model), (QStringList{"C:\\Clips", "", "D:\\Ads"}));

    model.save();
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("C:\\Clips\r\nD:\\Ads\r\n"));
    EXPECT_EQ(folderRows(model), (QStringList{"C:\\Clips", "D:\\Ads"}));

    // Unix line ends, a last line without an end, a NUL ending the text.
    test::writeFile(foldersFile(), QByteArray("a\nb\n\tc", 6) + QByteArray("\0d\n", 3));
    model.load(foldersFile());
    EXPECT_EQ(folderRows(model), (QStringList{"a", "b", "c"}));

    // Windows-1251 throughout: a first line starting "пїї" is no UTF-8 mark.
    ASSERT_TRUE(model.setData(model.index(0, 0), QStringLiteral("пїїРђ")));
    model.save();
    EXPECT_EQ(folderRows(model), (QStringList{"пїїРђ", "b", "c"}));
}

TEST_F(LookupFiles, FoldersMissingOrEmptyFileIsOneEmptyRowAndSavesZeroBytes)
{
    SearchFolderModel model;
    model.load(foldersFile());
    EXPECT_EQ(folderRows(model), QStringList{""});
    EXPECT_FALSE(QFile::exists(foldersFile())); // a missing file creates nothing
    model.save();
    EXPECT_TRUE(QFile::exists(foldersFile()));
    EXPECT_EQ(test::readFile(foldersFile()).size(), 0);
    model.load(foldersFile());
    EXPECT_EQ(folderRows(model), QStringList{""});
}

TEST_F(LookupFiles, FoldersBlankCellIsWrittenUnchangedThenComesBackEmpty)
{
    SearchFolderModel model;
    model.load(foldersFile());
    model.appendFolder(QStringLiteral("/clips"));
    model.appendFolder(QStringLiteral("/clips")); // twice is allowed
    ASSERT_TRUE(model.setData(model.index(0, 0), QStringLiteral("   ")));
    model.save();
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("   \r\n/clips\r\n/clips\r\n"));
    EXPECT_EQ(folderRows(model), (QStringList{"", "/clips", "/clips"}));
    model.save();
    EXPECT_EQ(folderRows(model), (QStringList{"/clips", "/clips"}));
}

TEST_F(LookupFiles, FoldersDeleteMovesRowsUpAndEmptiesTheLastOne)
{
    test::writeFile(foldersFile(), "a\r\nb\r\nc\r\n");
    SearchFolderModel model;
    model.load(foldersFile());
    model.removeFolder(1);
    EXPECT_EQ(folderRows(model), (QStringList{"a", "c"}));
    model.removeFolder(0);
    model.removeFolder(0);
    EXPECT_EQ(folderRows(model), QStringList{""});
}

TEST_F(LookupFiles, FoldersRefuseTextsTheFileCannotCarry)
{
    SearchFolderModel model;
    model.load(foldersFile());
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("/clips/\u4E2D")));
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("/a\nb")));
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("/Клипы")));
    EXPECT_EQ(folderRows(model), QStringList{"/Клипы"});
    model.save();
    EXPECT_EQ(test::readFile(foldersFile()), test::cp1251(QStringLiteral("/Клипы\r\n")));
}

// --- Subst.cfg -------------------------------------------------------------

TEST_F(LookupFiles, SubstLinesSplitAtTheFirstSemicolonAndTrim)
{
    test::writeFile(substFile(), "Intro ; C:\\Clips\\intro.avi\r\n"
                                 "Outro;C:\\Clips\\outro.avi\n"
                                 "A;B;C\r"
                                 "no semicolon\r\n"
                                 "\r\n"
                                 "Name ; \r\n"
                                 " ; C:\\only path.avi");
    SubstitutionModel model(m_settings);
    model.load(substFile());
    EXPECT_EQ(pairs(model), (QList<Substitution>{{"Intro", "C:\\Clips\\intro.avi"},
                                                 {"Outro", "C:\\Clips\\outro.avi"},
                                                 {"A", "B;C"},
                                                 {"", ""},
                                                 {"", ""},
                                                 {"Name", ""},
                                                 {"", "C:\\only path.avi"}}));
    model.save();
    EXPECT_EQ(test::readFile(substFile()), QByteArray("Intro ; C:\\Clips\\intro.avi\r\n"
                                                      "Outro ; C:\\Clips\\outro.avi\r\n"
                                                      "A ; B;C\r\n"
                                                      "Name ; \r\n"
                                                      " ; C:\\only path.avi\r\n"));
    EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(LookupFiles, SubstPathKeepsAtMost300CharactersAfterTheSemicolon)
{
    const QString longPath = QString(320, u'p');
    test::writeFile(substFile(), ("N;" + longPath + "\r\n").toLatin1());
    SubstitutionModel model(m_settings);
    model.load(substFile());
    EXPECT_EQ(model.table().row(0).path, QString(300, u'p'));
    model.save(); // written without the blank after ";", so it comes back whole
    EXPECT_EQ(test::readFile(substFile()), "N ;" + QByteArray(300, 'p') + "\r\n");
    EXPECT_EQ(model.table().row(0).path, QString(300, u'p'));

    // A path of 299 survives the " ; " of the save; 300 would not, so it is refused.
    const QString fits = QString(299, u'q');
    EXPECT_TRUE(model.setPath(0, fits));
    EXPECT_FALSE(model.setPath(0, fits + u'q'));
    model.save();
    EXPECT_EQ(model.table().row(0).path, fits);
}

TEST_F(LookupFiles, SubstMissingAndZeroByteFilesAreOneEmptyRow)
{
    SubstitutionModel model(m_settings);
    model.load(substFile());
    EXPECT_EQ(pairs(model), QList<Substitution>{{}});
    model.save();
    EXPECT_EQ(test::readFile(substFile()).size(), 0);
    test::writeFile(substFile(), QByteArray());
    model.load(substFile());
    EXPECT_EQ(pairs(model), QList<Substitution>{{}});
}

TEST_F(LookupFiles, SubstRefusesNamesWithSemicolonsAndForeignText)
{
    SubstitutionModel model(m_settings);
    model.load(substFile());
    const QModelIndex name = model.index(0, SubstitutionModel::NameColumn);
    EXPECT_FALSE(model.setData(name, QStringLiteral("A;B")));
    EXPECT_FALSE(model.setData(name, QStringLiteral("\u4E2D")));
    EXPECT_FALSE(model.setData(model.index(0, SubstitutionModel::PathColumn), QStringLiteral("a\rb")));
    EXPECT_TRUE(model.setData(name, QStringLiteral("Новости")));
    EXPECT_TRUE(SubstitutionModel::refusal(SubstitutionModel::NameColumn, u"A;B").contains(u';'));
}

// A failed save leaves the previous file whole and the rows as they were, and
// says why through the error that reaches the general error report.
TEST_F(LookupFiles, FailedSavesKeepTheOldFileAndTheRows)
{
    LINTARO_UNIX_FIXTURE("a file size limit");
    test::writeFile(foldersFile(), "old\r\n");
    test::writeFile(substFile(), "old ; old.avi\r\n");
    SearchFolderModel folders;
    folders.load(foldersFile());
    SubstitutionModel substitutions(m_settings);
    substitutions.load(substFile());
    folders.appendFolder(QStringLiteral("new folder that makes the file longer"));
    substitutions.appendRow();
    ASSERT_TRUE(substitutions.setData(substitutions.index(1, 0), QStringLiteral("new name")));
    {
        test::FileSizeLimit limit(4);
        try {
            folders.save();
            FAIL() << "no failure";
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.message(), QStringLiteral("Stream write error"));
        }
        EXPECT_THROW(substitutions.save(), Failure);
    }
    EXPECT_EQ(test::readFile(foldersFile()), QByteArray("old\r\n"));
    EXPECT_EQ(test::readFile(substFile()), QByteArray("old ; old.avi\r\n"));
    EXPECT_EQ(folderRows(folders), (QStringList{"old", "new folder that makes the file longer"}));
    EXPECT_EQ(substitutions.rowCount(), 2);

    // A folder that cannot take the file at all.
    const QString nowhere = test::uncreatablePath(foldersFile(), QStringLiteral("Folders.cfg"));
    folders.load(nowhere); // missing: one row, the first one kept
    folders.appendFolder(QStringLiteral("x"));
    try {
        folders.save();
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Cannot create file %1").arg(nowhere));
    }
    EXPECT_EQ(folderRows(folders), (QStringList{"old", "x"}));
}

// Another program (or a colleague) changes Subst.cfg while the program runs:
// a learnt pair and the dialog's save follow the file, and rows a failed save
// left unsaved survive a run's catching up and a learnt pair.
TEST_F(LookupFiles, SubstChangedOutsideIsFollowedAndMerged)
{
    test::writeFile(substFile(), "Intro ; /c/intro.avi\r\n");
    SubstitutionModel model(m_settings);
    model.load(substFile());
    test::writeFile(substFile(), "Intro ; /c/intro.avi\r\nNews;/c/news.avi\r\n");
    model.appendPair(QStringLiteral("Film"), QStringLiteral("/c/film.avi"));
    const QByteArray three = "Intro ; /c/intro.avi\r\nNews ; /c/news.avi\r\nFilm ; /c/film.avi\r\n";
    EXPECT_EQ(test::readFile(substFile()), three);

    // The dialog's change stays; a second "News" is a pair of its own.
    ASSERT_TRUE(model.setData(model.index(0, 1), QStringLiteral("/c/intro2.avi")));
    test::writeFile(substFile(), three + "Ads ; /c/ads.avi\r\nNews ; /c/news2.avi\r\n");
    EXPECT_EQ(model.save(), (listmerge::Counts { 2, 0, 0 }));
    const QByteArray five = "Intro ; /c/intro2.avi\r\nNews ; /c/news.avi\r\nFilm ; /c/film.avi\r\n"
                            "Ads ; /c/ads.avi\r\nNews ; /c/news2.avi\r\n";
    EXPECT_EQ(test::readFile(substFile()), five);
    test::writeFile(substFile(), five); // written anew, the same content: no change
    EXPECT_EQ(model.save(), std::nullopt);

    LINTARO_UNIX_FIXTURE("a file size limit");
    model.appendRow();
    ASSERT_TRUE(model.setData(model.index(5, 0), QStringLiteral("Unsaved name that does not fit")));
    {
        test::FileSizeLimit limit(8);
        EXPECT_THROW(model.save(), Failure);
    }
    QByteArray outside = five;
    outside.replace("Film ; /c/film.avi\r\n", "");
    test::writeFile(substFile(), outside + "Sport ; /c/sport.avi\r\n");
    model.bringUpToDate();
    EXPECT_EQ(pairs(model).size(), 6); // Film gone, Sport in, the unsaved row last
    EXPECT_EQ(pairs(model).last().name, QStringLiteral("Unsaved name that does not fit"));
    model.appendPair(QStringLiteral("Kino"), QStringLiteral("/c/kino.avi"));
    EXPECT_EQ(test::readFile(substFile()),
        outside + "Sport ; /c/sport.avi\r\nUnsaved name that does not fit ; \r\nKino ; /c/kino.avi\r\n");
}

// A pair is known by its name and its rank among pairs of that name; what the
// dialog did wins over what the file did, additions of both sides stay.
TEST(ListMerge, EachSideKeepsWhatItChanged)
{
    const auto entries = [](const QString &written) {
        QList<listmerge::Entry> list;
        for (const QString &item : written.split(u' ', Qt::SkipEmptyParts))
            list.append({ item.section(u'=', 0, 0), item.section(u'=', 1) });
        return list;
    };
    struct Case
    {
        const char *base, *ours, *theirs, *merged;
        listmerge::Counts outside;
    } cases[] = {
        { "A=1", "A=2", "A=3", "A=2", { 0, 1, 0 } }, // changed on both sides
        { "A=1 B=1", "B=1", "A=3 B=1", "B=1", { 0, 1, 0 } }, // deleted here, changed there
        { "A=1 B=1", "A=2 B=1", "B=1", "B=1 A=2", { 0, 0, 1 } }, // changed here, removed there
        { "P=a P=b", "P=a P=b P=d", "P=a P=c", "P=a P=c P=d", { 0, 1, 0 } }, // rank among equal names
        { "", "X=1 Y=1", "X=1 Y=2", "X=1 Y=2 Y=1", { 2, 0, 0 } }, // added on both sides
    };
    for (const Case &c : cases) {
        const QList<listmerge::Entry> base = entries(c.base), theirs = entries(c.theirs);
        EXPECT_EQ(listmerge::merge(base, entries(c.ours), theirs), entries(c.merged)) << c.merged;
        EXPECT_EQ(listmerge::outsideChanges(base, theirs), c.outside) << c.merged;
    }
}

// Run by the test below in two processes at once: learns pairs as the
// resolver's prompt does, into the file LINTARO_TEST_LEARN names.
TEST(LearntPairs, DISABLED_LearnInThisProcess)
{
    const QStringList job = qEnvironmentVariable("LINTARO_TEST_LEARN").split(u'|');
    ASSERT_EQ(job.size(), 2);
    SettingsStore settings(job[0] + job[1] + QStringLiteral(".ini"));
    SubstitutionModel model(settings);
    model.load(job[0]);
    for (int i = 0; i < 25; ++i)
        model.appendPair(job[1] + QString::number(i), QStringLiteral("/c/clip.avi"));
}

TEST(LearntPairs, TwoProgramsLearningAtOnceKeepBoth)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Subst.cfg"));
    std::vector<std::unique_ptr<QProcess>> learners;
    for (const QString &prefix : { QStringLiteral("A"), QStringLiteral("B") }) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LINTARO_TEST_LEARN"), file + u'|' + prefix);
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_filter=LearntPairs.DISABLED_LearnInThisProcess"),
                QStringLiteral("--gtest_also_run_disabled_tests") });
        learners.push_back(std::move(process));
    }
    for (const auto &process : learners) {
        ASSERT_TRUE(process->waitForFinished(60000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAll().toStdString();
    }
    SubstitutionTable learnt;
    learnt.applyFileBytes(test::readFile(file));
    EXPECT_EQ(learnt.rowCount(), 50);
    for (int i = 0; i < 25; ++i) {
        EXPECT_GE(learnt.find(QStringLiteral("A%1").arg(i)), 0) << i;
        EXPECT_GE(learnt.find(QStringLiteral("B%1").arg(i)), 0) << i;
    }
}

// A shared install: the folder admits no new file, Subst.cfg itself may be written.
TEST_F(LookupFiles, SubstInAClosedFolderIsWrittenInPlace)
{
    test::Unprivileged::openToEveryone(m_dir.path());
    const QString shared = path(QStringLiteral("shared"));
    const QString file = shared + QStringLiteral("/Subst.cfg");
    test::writeFile(file, "Intro ; /c/intro.avi\r\n");
    QFile::setPermissions(file, QFile::Permissions(0x6666));
    QFile::setPermissions(shared, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    SubstitutionModel model(m_settings);

    test::Unprivileged nobody;
    if (!nobody.active())
        GTEST_SKIP() << "cannot run as an unprivileged user here";
    model.load(file);
    model.appendPair(QStringLiteral("News"), QStringLiteral("/c/news.avi"));
    EXPECT_EQ(test::readFile(file), QByteArray("Intro ; /c/intro.avi\r\nNews ; /c/news.avi\r\n"));

    // When the write in place fails too, the message says so and the rows stay for the next save.
    test::FileSizeLimit limit(8);
    try {
        model.appendPair(QStringLiteral("Film"), QStringLiteral("/c/film.avi"));
        ADD_FAILURE() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), fileset::inPlaceFailed(file, false));
    }
    EXPECT_EQ(pairs(model).size(), 3);
}

TEST_F(LookupFiles, UnreadableFileKeepsTheRowsAndSaysWhich)
{
    QDir().mkpath(foldersFile()); // a folder in the file's place
    SearchFolderModel model;
    model.appendFolder(QStringLiteral("kept"));
    try {
        model.load(foldersFile());
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Cannot open file %1").arg(foldersFile()));
    }
    EXPECT_EQ(folderRows(model), (QStringList{"", "kept"}));
}

TEST_F(LookupFiles, LastSubstSetsThePickerOnlyWhenNotEmpty)
{
    SubstitutionModel model(m_settings);
    model.picker().setFileName(QStringLiteral("/chosen/before.avi"));
    model.load(substFile());
    EXPECT_EQ(model.picker().fileName(), QStringLiteral("/chosen/before.avi"));

    model.rememberPickedFile();
    EXPECT_EQ(m_settings.read(QStringLiteral("LastSubst")), QStringLiteral("/chosen/before.avi"));
    model.picker().setFileName(QStringLiteral("/chosen/later.avi"));
    model.save(); // the reload puts LastSubst back
    EXPECT_EQ(model.picker().fileName(), QStringLiteral("/chosen/before.avi"));

    model.picker().setFileName(QString());
    model.rememberPickedFile(); // written even when empty
    EXPECT_EQ(m_settings.read(QStringLiteral("LastSubst")), QString());
}

// --- clip code ---------------------------------------------------------------

TEST(ClipCode, FirstOpeningBracketAndFirstClosingOneWithin300)
{
    EXPECT_EQ(ClipResolver::clipCode(u"Новости (Rolik2345) 12"), QStringLiteral("Rolik2345"));
    EXPECT_EQ(ClipResolver::clipCode(u"( Rolik )"), QStringLiteral(" Rolik "));
    EXPECT_EQ(ClipResolver::clipCode(u"()"), QString());
    EXPECT_EQ(ClipResolver::clipCode(u"x) (Rolik2345)"), QStringLiteral("Rolik2345"));
    EXPECT_EQ(ClipResolver::clipCode(u"(a(b)c)"), QStringLiteral("a(b"));
    EXPECT_FALSE(ClipResolver::clipCode(u"(Rolik2345").has_value());
    EXPECT_FALSE(ClipResolver::clipCode(u"Rolik2345)").has_value());
    EXPECT_FALSE(ClipResolver::clipCode(u"").has_value());
    // Age marks in titles are passed over; the next pair holds the code.
    EXPECT_EQ(ClipResolver::clipCode(u"Х/ф Брат (16+) (FILM1997)"), QStringLiteral("FILM1997"));
    EXPECT_EQ(ClipResolver::clipCode(u"( 0 + )(6+)x(Rolik)"), QStringLiteral("Rolik"));
    EXPECT_FALSE(ClipResolver::clipCode(u"Х/ф Брат (16+)").has_value());
    EXPECT_FALSE(ClipResolver::clipCode(u"(18+) (Rolik").has_value());
    EXPECT_EQ(ClipResolver::clipCode(u"(16) (A)"), QStringLiteral("16"));
    EXPECT_EQ(ClipResolver::clipCode(u"(16+ A)"), QStringLiteral("16+ A"));

    const QString at300 = u'(' + QString(299, u'a') + u')';
    EXPECT_EQ(ClipResolver::clipCode(at300), QString(299, u'a'));
    const QString at301 = u'(' + QString(300, u'a') + u')';
    EXPECT_FALSE(ClipResolver::clipCode(at301).has_value());
}

// --- directory listing -------------------------------------------------------

TEST(DirectoryListing, MatchesIgnoringCaseAndListsOnlyVisibleFiles)
{
    LINTARO_UNIX_FIXTURE("dot files and links");
    QTemporaryDir dir;
    const QString root = dir.path();
    test::touchFiles(root, {"Rolik1.avi", "rolik2.AVI", "Ролик3.Avi", "Rolik4.avi.bak", ".Rolik5.avi",
                            "Rolik6avi", "other.avi"});
    QDir(root).mkdir(QStringLiteral("Rolik7.avi"));
    QFile::link(root + "/Rolik1.avi", root + "/Rolik8.avi");
    QFile::link(root + "/missing", root + "/Rolik9.avi");
    QFile::link(root + "/Rolik7.avi", root + "/Rolik10.avi");

    QStringList rolik = DirectoryListing::list(root + kSep + "ROLIK*.avi");
    rolik.sort();
    EXPECT_EQ(rolik, (QStringList{"Rolik1.avi", "Rolik8.avi", "rolik2.AVI"}));
    EXPECT_EQ(DirectoryListing::list(root + kSep + "ролик*.avi"), QStringList{"Ролик3.Avi"});
    EXPECT_EQ(DirectoryListing::list(root + kSep + "R?lik1*.avi"), QStringList{"Rolik1.avi"});
    EXPECT_TRUE(DirectoryListing::list(root + "/missing" + kSep + "*.avi").isEmpty());
    // Entries a share lists without their type are looked at when they match.
    for (const auto &[name, listable] : {std::pair{"Rolik1.avi", true}, {"Rolik7.avi", false},
                                         {"Rolik8.avi", true}, {"Rolik9.avi", false}, {"gone.avi", false}})
        EXPECT_EQ(DirectoryListing::isListable(root, {name, DirectoryListing::Kind::Unknown}), listable) << name;
    EXPECT_TRUE(DirectoryListing::matches(u"abcabc.avi", u"*abc*.AVI"));
    EXPECT_FALSE(DirectoryListing::matches(u"abc.av", u"abc*.avi"));
}

// --- resolver ------------------------------------------------------------------

namespace {

class Resolver : public LookupFiles
{
protected:
    void SetUp() override
    {
        m_folders.load(foldersFile());
        m_substitutions.load(substFile());
    }
    QString folder(const QString &name) const { return path(name); }
    void setFolders(const QStringList &texts)
    {
        QByteArray bytes;
        for (const QString &text : texts)
            bytes += test::cp1251(text) + "\r\n";
        test::writeFile(foldersFile(), bytes);
        m_folders.load(foldersFile());
        ASSERT_EQ(folderRows(m_folders), texts);
    }
    std::optional<QString> search(const QString &code, bool quiet = false)
    {
        const auto fresh = resolver().bracketSearch(code, quiet);
        ListingCache cache;
        EXPECT_EQ(resolver().bracketSearch(code, true, &cache), fresh) << "the cache answers otherwise";
        return fresh;
    }
    ClipResolver resolver()
    {
        ClipResolver resolver(m_folders, m_substitutions, m_interaction);
        if (!m_types.isEmpty())
            resolver.setClipTypes(m_types);
        return resolver;
    }

    QStringList m_types; // empty: the resolver's own default
    SearchFolderModel m_folders;
    SubstitutionModel m_substitutions{m_settings};
    test::ScriptedInteraction m_interaction;
};

} // namespace

TEST_F(Resolver, ExactMatchWinsSingleInexactIsFoundTwoInexactAreAmbiguous)
{
    const QString a = folder("a");
    setFolders({a});
    test::touchFiles(a, {"Rolik2345.avi", "Rolik2345a.avi", "Solo1x.avi", "Two1a.avi", "Two1b.avi"});
    EXPECT_EQ(search("Rolik2345"), a + kSep + "Rolik2345.avi");
    EXPECT_EQ(search("Solo1"), a + kSep + "Solo1x.avi");
    EXPECT_TRUE(m_interaction.messages.isEmpty());

    EXPECT_EQ(search("Two1"), std::nullopt);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    const auto &message = m_interaction.messages[0];
    EXPECT_EQ(message.caption, QStringLiteral("Ошибка поиска файла"));
    EXPECT_EQ(message.icon, MessageIcon::Error);
    const QString expected = "Поиск Two1*.avi дал более одного результата:\n";
    ASSERT_TRUE(message.text.startsWith(expected));
    QStringList listed = message.text.mid(expected.size()).split(u'\n', Qt::SkipEmptyParts);
    listed.sort();
    EXPECT_EQ(listed, (QStringList{a + kSep + "Two1a.avi", a + kSep + "Two1b.avi"}));
    EXPECT_TRUE(message.text.endsWith(u'\n'));
}

TEST_F(Resolver, AmbiguityMessageShowsTheFirstTenOfTwelve)
{
    const QString a = folder("a"), b = folder("b");
    setFolders({a, b});
    QStringList names;
    for (int i = 0; i < 6; ++i)
        names << QStringLiteral("Clip%1.avi").arg(i);
    test::touchFiles(a, names);
    test::touchFiles(b, names);
    EXPECT_EQ(search("Clip"), std::nullopt);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    const QStringList lines = m_interaction.lastMessageText().split(u'\n');
    ASSERT_EQ(lines.size(), 12); // the head, ten candidates, the empty text after the last "\n"
    EXPECT_EQ(lines.mid(1, 6).filter(a + kSep).size(), 6); // the first folder's six come first
    EXPECT_EQ(lines.mid(7, 4).filter(b + kSep).size(), 4);
    EXPECT_EQ(lines.last(), QString());
}

TEST_F(Resolver, LetterCaseRulesBothWays)
{
    const QString a = folder("a");
    setFolders({a});
    test::touchFiles(a, {"ROLIK2345.avi", "Rolik77.AVI", "Rolik77x.avi", "Новости.avi", "НОВОСТИ1.avi"});
    // Listed, but the name must begin with the code in its own letter case.
    EXPECT_EQ(search("Rolik2345"), std::nullopt);
    // The exact match ignores letter case, Cyrillic included.
    EXPECT_EQ(search("Rolik77"), a + kSep + "Rolik77.AVI");
    EXPECT_EQ(search("Новости"), a + kSep + "Новости.avi");
    EXPECT_TRUE(m_interaction.messages.isEmpty());
}

TEST_F(Resolver, FolderOrderSameFolderTwiceAndTrailingSeparator)
{
    const QString a = folder("a"), b = folder("b");
    test::touchFiles(a, {"Rolik1.avi", "Only2x.avi"});
    test::touchFiles(b, {"Rolik1.avi"});
    setFolders({b, a});
    EXPECT_EQ(search("Rolik1"), b + kSep + "Rolik1.avi");

    setFolders({a, a});
    EXPECT_EQ(search("Rolik1"), a + kSep + "Rolik1.avi");
    EXPECT_EQ(search("Only2", true), std::nullopt); // two candidates, none exact
    EXPECT_TRUE(m_interaction.messages.isEmpty());

    setFolders({a + kSep});
    EXPECT_EQ(search("Only2"), a + kSep + kSep + "Only2x.avi");
}

TEST_F(Resolver, EmptyCodeAndEmptyFolderTextNeitherCrashNorHang)
{
    const QString a = folder("a");
    setFolders({a});
    test::touchFiles(a, {"x.avi"});
    // "()" and "( )" would match every clip, and the only one would go on air.
    m_interaction.setAcceptUnscriptedMessages(false);
    EXPECT_EQ(search(""), std::nullopt);
    EXPECT_EQ(search(" \t"), std::nullopt);

    m_folders.removeFolder(0); // the one empty row of an empty list: the root folder
    EXPECT_EQ(m_folders.list().texts(), QStringList{""});
    EXPECT_NO_FATAL_FAILURE(search("NoSuchClipAnywhere", true));
    EXPECT_NO_FATAL_FAILURE(search("", true));
    EXPECT_NO_FATAL_FAILURE(search("a/b", true));
}

TEST_F(Resolver, FoldersThatCannotBeListedAreNamedOnceEach)
{
    const QString a = folder("a"), gone = folder("gone"), file = folder("file"), closed = folder("closed");
    test::touchFiles(a, {"P3x.avi"});
    test::touchFiles(closed, {"P3y.avi"});
    test::writeFile(file, "not a folder");
    setFolders({a, gone, "", file, gone, closed});
    EXPECT_EQ(resolver().unavailableFolders(), (QStringList{gone, file}));

    test::Unprivileged::openToEveryone(m_dir.path());
    test::Unprivileged::openToEveryone(a);
    QFile::setPermissions(closed, QFileDevice::Permissions());
    const auto reopen = qScopeGuard([&] { QFile::setPermissions(closed, QFileDevice::Permissions(0x7700)); });
    test::Unprivileged nobody;
    if (!nobody.active())
        GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(resolver().unavailableFolders(), (QStringList{gone, file, closed}));
}

TEST_F(Resolver, ClipTypesInOrderTheFirstTypeWithAnyCandidateDecides)
{
    const QString a = folder("a"), b = folder("b");
    setFolders({a, b});
    test::touchFiles(a, {"Mixed1.mxf", "Amb1a.avi", "Amb1b.avi", "Up1.MXF", "Two2a.mxf", "Two2b.mxf",
                         "Ex3x.mxf"});
    test::touchFiles(b, {"Mixed1.avi", "Amb1.mxf", "Ex3.mxf", "Mov4.mov"});

    EXPECT_EQ(search("Mixed1"), b + kSep + "Mixed1.avi"); // avi alone: as it always was
    EXPECT_EQ(search("Up1", true), std::nullopt);
    m_types = {"avi", "mxf"};
    EXPECT_EQ(search("Mixed1"), b + kSep + "Mixed1.avi"); // the first type over every folder
    EXPECT_EQ(search("Up1"), a + kSep + "Up1.MXF");       // extensions in any letter case
    EXPECT_EQ(search("Ex3"), b + kSep + "Ex3.mxf");       // the exact match, whichever folder
    EXPECT_EQ(search("Mov4"), std::nullopt);
    m_types = {"mxf", "avi"};
    EXPECT_EQ(search("Mixed1"), a + kSep + "Mixed1.mxf");
    EXPECT_TRUE(m_interaction.messages.isEmpty());

    // Several candidates and none exact is final: the next type is not tried.
    m_types = {"avi", "mxf"};
    EXPECT_EQ(search("Amb1"), std::nullopt);
    m_types = {"mxf", "mov"};
    EXPECT_EQ(search("Two2"), std::nullopt);
    ASSERT_EQ(m_interaction.messages.size(), 2);
    EXPECT_TRUE(m_interaction.messages[0].text.startsWith("Поиск Amb1*.avi дал более одного результата:\n"));
    EXPECT_TRUE(m_interaction.messages[1].text.startsWith("Поиск Two2*.mxf дал более одного результата:\n"));
}

TEST(ClipTypes, StoredFormFilterAndCommandLineSpelling)
{
    using namespace cliptypes;
    const struct
    {
        QString stored;
        QStringList types;
    } stored[] = {
        {"", {"avi"}},
        {"mxf;avi", {"mxf", "avi"}},
        {";MXF;;mov;mxf;", {"mxf", "mov"}},
        {"wmv;exe", {"avi"}}, // nothing usable left: as it always was
    };
    for (const auto &c : stored) {
        EXPECT_EQ(fromStored(c.stored), c.types) << c.stored.toStdString();
        EXPECT_EQ(fromStored(toStored(c.types)), c.types);
    }
    EXPECT_EQ(normalized(".MKV"), QStringLiteral("mkv"));
    EXPECT_EQ(normalized("mpg"), QString());
    EXPECT_EQ(filterText({"avi"}), QStringLiteral("Файлы Avi (*.avi)|*.AVI"));
    EXPECT_EQ(filterText({"mxf", "avi", "mp4"}), QStringLiteral("Видеофайлы (*.mxf *.avi *.mp4)|*.mxf;*.avi;*.mp4"));
}

TEST_F(Resolver, QuietModeNeverAsksNorWrites)
{
    const QString a = folder("a");
    setFolders({a});
    test::touchFiles(a, {"Two1a.avi", "Two1b.avi"});
    m_interaction.setAcceptUnscriptedMessages(false);
    EXPECT_EQ(resolver().bracketSearch("Two1", true), std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("Missing", true), std::nullopt);
    EXPECT_TRUE(m_interaction.messages.isEmpty());
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
    EXPECT_FALSE(QFile::exists(substFile()));
    EXPECT_EQ(m_substitutions.rowCount(), 1);
}

TEST_F(Resolver, SubstitutionFirstExactNameDecides)
{
    test::writeFile(substFile(), "ROLIK2345 ; upper.avi\r\nTwice ; first.avi\r\nTwice ; second.avi\r\n"
                                 "Empty ; \r\n");
    m_substitutions.load(substFile());
    EXPECT_EQ(resolver().substitutionLookup("Twice", true), QStringLiteral("first.avi"));
    EXPECT_EQ(resolver().substitutionLookup("Empty", true), QString());
    EXPECT_EQ(resolver().substitutionLookup("Rolik2345", true), std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("", true), std::nullopt);

    // Edits move first rows; appended (learnt) pairs never displace one.
    SubstitutionTable table;
    table.applyLines({"A ; 1", "B ; 2"});
    EXPECT_EQ(table.find(u"B"), 1);
    table.appendRow({"A", "3"});
    table.appendRow({"C", "4"});
    EXPECT_EQ(table.find(u"A"), 0);
    EXPECT_EQ(table.find(u"C"), 3);
    table.setName(0, "C");
    EXPECT_EQ(table.find(u"C"), 0);
    EXPECT_EQ(table.find(u"A"), 2);
    table.removeRow(0);
    EXPECT_EQ(table.find(u"A"), 1);
    EXPECT_EQ(table.find(u"C"), 2);
    table.applyLines({"D ; 5"});
    EXPECT_EQ(table.find(u"A"), -1);
    EXPECT_EQ(table.find(u"D"), 0);

    // The empty name is no clip: not even the one empty row of an empty table
    // matches it, and it is never asked for.
    test::writeFile(substFile(), QByteArray());
    SubstitutionModel empty(m_settings);
    empty.load(substFile());
    EXPECT_EQ(ClipResolver(m_folders, empty, m_interaction).substitutionLookup("", true), std::nullopt);
    m_interaction.setAcceptUnscriptedMessages(false);
    EXPECT_EQ(ClipResolver(m_folders, empty, m_interaction).substitutionLookup("", false), std::nullopt);
    EXPECT_TRUE(m_interaction.pickers.isEmpty());
}

TEST_F(Resolver, PromptAppendsSavesAndLaterRowsFindTheAnswer)
{
    m_settings.write("LastSubst", "/remembered/last.avi");
    m_substitutions.load(substFile());
    m_interaction.answerPicker(QStringLiteral("/clips/intro.avi"));
    EXPECT_EQ(resolver().substitutionLookup("Intro", false), QStringLiteral("/clips/intro.avi"));
    ASSERT_EQ(m_interaction.pickers.size(), 1);
    const FileDialogRequest &request = m_interaction.pickers[0].request;
    EXPECT_EQ(request.title, QStringLiteral("Укажите файл \"Intro \""));
    EXPECT_EQ(request.initialFile, QStringLiteral("/remembered/")) << "its folder, no file chosen";
    ASSERT_EQ(request.filters.size(), 1);
    EXPECT_EQ(request.filters[0].description, QStringLiteral("Файлы Avi (*.avi)"));
    EXPECT_EQ(request.filters[0].pattern, QStringLiteral("*.AVI"));
    EXPECT_EQ(test::readFile(substFile()), QByteArray(" ; \r\nIntro ; /clips/intro.avi\r\n").mid(5));
    EXPECT_EQ(pairs(m_substitutions), (QList<Substitution>{{"Intro", "/clips/intro.avi"}}));

    // Found without a prompt; the next prompt starts at LastSubst again.
    EXPECT_EQ(resolver().substitutionLookup("Intro", false), QStringLiteral("/clips/intro.avi"));
    m_interaction.answerPicker(std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("Outro", false), std::nullopt);
    ASSERT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.pickers[1].request.initialFile, QStringLiteral("/remembered/"));
    EXPECT_EQ(m_settings.read("LastSubst"), QStringLiteral("/remembered/last.avi"));

    m_types = {"mxf", "avi"}; // the picker shows the types the search looks for
    m_interaction.answerPicker(std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("Other", false), std::nullopt);
    ASSERT_EQ(m_interaction.pickers.size(), 3);
    EXPECT_EQ(m_interaction.pickers[2].request.filters[0].description, QStringLiteral("Видеофайлы (*.mxf *.avi)"));
}

TEST_F(Resolver, WithoutLastSubstTheNextPromptStartsAtThePreviousAnswer)
{
    m_interaction.answerPicker(QStringLiteral("/clips/first.avi"));
    m_interaction.answerPicker(QStringLiteral("/clips/second.avi"));
    resolver().substitutionLookup("One", false);
    resolver().substitutionLookup("Two", false);
    ASSERT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.pickers[0].request.initialFile, QString());
    EXPECT_EQ(m_interaction.pickers[1].request.initialFile, QStringLiteral("/clips/"));
}

TEST_F(Resolver, CancelledPromptWritesNothing)
{
    m_interaction.answerPicker(std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("Intro", false), std::nullopt);
    EXPECT_FALSE(QFile::exists(substFile()));
    EXPECT_EQ(pairs(m_substitutions), QList<Substitution>{{}});
}

TEST_F(Resolver, PromptRefusesWhatTheFileCannotCarry)
{
    // A path over 299 characters is refused and asked again; a cancel then ends it.
    m_interaction.answerPicker("/" + QString(299, u'p'));
    m_interaction.answerPicker(std::nullopt);
    EXPECT_EQ(resolver().substitutionLookup("Intro", false), std::nullopt);
    EXPECT_EQ(m_interaction.pickers.size(), 2);
    ASSERT_EQ(m_interaction.messages.size(), 1);
    EXPECT_TRUE(m_interaction.messages[0].text.contains(QStringLiteral("299")));
    EXPECT_FALSE(QFile::exists(substFile()));

    // A name with ";" is refused before any prompt.
    EXPECT_EQ(resolver().substitutionLookup("A;B", false), std::nullopt);
    EXPECT_EQ(m_interaction.pickers.size(), 2);
    EXPECT_EQ(m_interaction.messages.size(), 2);
    EXPECT_EQ(pairs(m_substitutions), QList<Substitution>{{}});
}

TEST_F(Resolver, PromptWhoseSaveFailsKeepsTheRowAndThrows)
{
    LINTARO_UNIX_FIXTURE("a file size limit");
    test::writeFile(substFile(), "old ; old.avi\r\n");
    m_substitutions.load(substFile());
    m_interaction.answerPicker(QStringLiteral("/clips/a-rather-long-name-for-the-limit.avi"));
    {
        test::FileSizeLimit limit(8);
        EXPECT_THROW(resolver().substitutionLookup("New", false), Failure);
    }
    EXPECT_EQ(test::readFile(substFile()), QByteArray("old ; old.avi\r\n"));
    EXPECT_EQ(m_substitutions.rowCount(), 2);
}

// --- the run's listing cache -----------------------------------------------

TEST_F(Resolver, CacheSeesAFileAddedAtTheNextValidation)
{
    LINTARO_UNIX_FIXTURE("setting a folder's times");
    const QString a = folder("a");
    test::touchFiles(a, {"Other.avi"});
    ASSERT_TRUE(test::ageFolder(a));
    setFolders({a});
    ListingCache cache;
    EXPECT_EQ(resolver().bracketSearch("New1", true, &cache), std::nullopt);
    test::touchFiles(a, {"New1.avi"});
    // The run answers from the listing it validated, as a fresh one gave then.
    EXPECT_EQ(resolver().bracketSearch("New1", true, &cache), std::nullopt);
    EXPECT_EQ(cache.listingsTaken(), 1);
    cache.revalidate(); // after a question
    EXPECT_EQ(resolver().bracketSearch("New1", true, &cache), a + kSep + "New1.avi");
    EXPECT_EQ(cache.listingsTaken(), 2);

    // A conversion validates again after each question: a clip copied in
    // while a prompt waits is found on the rows after it.
    const QByteArray clip = test::riff::simpleAvi({{"vids", 1, 25, 250}});
    test::writeFile(a + "/Known.avi", clip);
    ScheduleTable table = parseSchedule(u"Unknown\n(New2)\n");
    table.setSourceColumn(0);
    m_interaction.beforePickerAnswer = [&](const test::ScriptedInteraction::Picker &) {
        test::writeFile(a + "/New2.avi", clip);
    };
    m_interaction.answerPicker(a + "/Known.avi");
    m_interaction.answerPicker(std::nullopt); // the save dialog
    ClipResolver asking = resolver();
    ConversionRun run(m_interaction, nullptr, asking);
    run.setListings(&cache);
    QString saveName;
    EXPECT_EQ(run.run(table, saveName, {}).outcome, ConversionRun::Outcome::Cancelled)
        << m_interaction.lastMessageText().toStdString();
}

TEST_F(Resolver, CacheListsAnewAFolderChangedWithinTwoSeconds)
{
    LINTARO_UNIX_FIXTURE("setting a folder's times");
    const QString a = folder("a");
    test::touchFiles(a, {"Clip1.avi"});
    const QDateTime modified = QDateTime::currentDateTime().addSecs(-600);
    ASSERT_TRUE(test::setModified(a, modified));
    setFolders({a});

    qint64 now = modified.toMSecsSinceEpoch() + 1999;
    ListingCache cache([&] { return now; });
    cache.list(a + kSep + "Clip1*.avi");
    cache.list(a + kSep + "Clip1*.avi");
    EXPECT_EQ(cache.listingsTaken(), 1); // once per validation, however fresh
    cache.revalidate();
    cache.list(a + kSep + "Clip1*.avi");
    EXPECT_EQ(cache.listingsTaken(), 2); // changed too recently to be trusted
    now += 1;
    cache.revalidate();
    cache.list(a + kSep + "Clip1*.avi");
    EXPECT_EQ(cache.listingsTaken(), 3);
    cache.revalidate();
    EXPECT_EQ(cache.list(a + kSep + "Clip1*.avi"), QStringList{"Clip1.avi"});
    EXPECT_EQ(cache.listingsTaken(), 3); // listed 2 s after its change: reused

    // A folder put in the place of the listed one, even with the same time.
    QDir(a).removeRecursively();
    test::touchFiles(a, {"Clip1.avi", "Clip1b.avi"});
    ASSERT_TRUE(test::setModified(a, modified));
    cache.revalidate();
    EXPECT_EQ(cache.list(a + kSep + "Clip1*.avi").size(), 2);

    // A watched folder needs no settling: the watcher reports its changes.
    ListingCache watched([&] { return now; });
    watched.watchFolders();
    now = modified.toMSecsSinceEpoch();
    watched.beginRun({a});
    watched.list(a + kSep + "Clip1*.avi");
    watched.beginRun({a});
    EXPECT_EQ(watched.list(a + kSep + "Clip1*.avi").size(), 2);
    EXPECT_EQ(watched.listingsTaken(), 1);
    test::touchFiles(a, {"Clip1c.avi"});
    watched.beginRun({a});
    EXPECT_EQ(watched.list(a + kSep + "Clip1*.avi").size(), 3);
}

TEST_F(Resolver, CacheKeptBetweenRunsListsAgainOnlyWhatMayHaveChanged)
{
    LINTARO_UNIX_FIXTURE("folder change times set by hand");
    const QString a = folder("a");
    const QString b = folder("b");
    test::touchFiles(a, {"Clip1.avi"});
    test::touchFiles(b, {"Clip2.avi"});
    ASSERT_TRUE(test::ageFolder(a));
    ASSERT_TRUE(test::ageFolder(b));
    setFolders({a});
    ListingCache cache;
    cache.beginRun({a});
    EXPECT_EQ(resolver().bracketSearch("Clip1", true, &cache), a + kSep + "Clip1.avi");
    cache.beginRun({a}); // the next run, nothing changed
    EXPECT_EQ(resolver().bracketSearch("Clip1", true, &cache), a + kSep + "Clip1.avi");
    EXPECT_EQ(cache.listingsTaken(), 1);

    setFolders({a, b}); // a changed folder list drops every listing
    cache.beginRun({a, b});
    EXPECT_EQ(resolver().bracketSearch("Clip2", true, &cache), b + kSep + "Clip2.avi");
    EXPECT_EQ(cache.listingsTaken(), 3);
    test::touchFiles(a, {"Clip2.avi"}); // a changed folder is listed anew
    cache.beginRun({a, b});
    EXPECT_EQ(resolver().bracketSearch("Clip2", true, &cache), a + kSep + "Clip2.avi") << "the first folder's";
    EXPECT_EQ(cache.listingsTaken(), 4);

    EXPECT_TRUE(ListingCache::isRemoteFolder("//server/share/clips"));
    EXPECT_TRUE(ListingCache::isRemoteFolder("\\\\server\\share"));
    EXPECT_FALSE(ListingCache::isRemoteFolder(a));
}

TEST_F(Resolver, CacheNoticesALinkWhoseTargetWentAway)
{
    LINTARO_UNIX_FIXTURE("links and folder times");
    const QString a = folder("a");
    test::touchFiles(path("target"), {"t.avi"});
    test::touchFiles(a, {});
    QFile::link(path("target") + "/t.avi", a + "/Linked.avi");
    ASSERT_TRUE(test::ageFolder(a));
    ListingCache cache;
    EXPECT_EQ(cache.list(a + kSep + "Linked*.avi"), QStringList{"Linked.avi"});
    QFile::remove(path("target") + "/t.avi");
    EXPECT_TRUE(cache.list(a + kSep + "Linked*.avi").isEmpty());
    EXPECT_EQ(cache.listingsTaken(), 1);
}
