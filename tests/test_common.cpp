#include "common/cp1251.h"
#include "common/errorreport.h"
#include "common/failure.h"
#include "common/fileset.h"
#include "common/plural.h"
#include "common/textfile.h"
#include "support/fixtures.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace lintaro;

TEST(Cp1251, EveryByteDecodesAndEncodesBack)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = cp1251::decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text[0xC0], QChar(0x0410)); // А
    EXPECT_EQ(text[0xFF], QChar(0x044F)); // я
    EXPECT_EQ(text[0xA8], QChar(0x0401)); // Ё
    EXPECT_EQ(text[0xB9], QChar(0x2116)); // №
    EXPECT_EQ(cp1251::encode(text), all);
}

TEST(Cp1251, CharactersOutsideTheCodePageAreRefusedWithTheirName)
{
    const QString text = QStringLiteral("Clip \u4E2D.avi");
    EXPECT_FALSE(cp1251::encode(text).has_value());
    EXPECT_EQ(cp1251::firstUnencodable(text), 5);
    EXPECT_TRUE(cp1251::unencodableMessage(text).contains(QStringLiteral("U+4E2D")));
    EXPECT_TRUE(cp1251::canEncode(QStringLiteral("Новости ёЁ №5")));
}

TEST(Plural, TheNounAgreesWithTheNumber)
{
    const QString one = QStringLiteral("файл"), few = QStringLiteral("файла"),
                  many = QStringLiteral("файлов");
    for (const qint64 n : { 1, 21, 101, 1001 })
        EXPECT_EQ(countOf(n, one, few, many), QString::number(n) + u' ' + one);
    for (const qint64 n : { 2, 4, 22, 34, 102 })
        EXPECT_EQ(countOf(n, one, few, many), QString::number(n) + u' ' + few);
    for (const qint64 n : { 0, 5, 11, 12, 14, 20, 111, 112, 1000 })
        EXPECT_EQ(countOf(n, one, few, many), QString::number(n) + u' ' + many);
}

TEST(TextFile, LineEndsOfEveryKindAndTheFinalEnd)
{
    EXPECT_EQ(textfile::splitLines(u"a\r\nb\rc\nd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(textfile::splitLines(u"a\r\n"), QStringList{"a"});
    EXPECT_EQ(textfile::splitLines(u"a\n\nb\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(textfile::splitLines(u"\r\n"), QStringList{""});
    EXPECT_EQ(textfile::splitLines(u"\n\r"), (QStringList{"", ""})); // LF then a lone CR
    EXPECT_TRUE(textfile::splitLines(u"").isEmpty());
}

TEST(TextFile, NulEndsTheTextAndAMarkSelectsUtf8)
{
    EXPECT_EQ(textfile::decode(QByteArray("ab\0cd", 5)), QStringLiteral("ab"));
    EXPECT_EQ(textfile::decode(QByteArray("\xEF\xBB\xBF\xD0\x90;b")), QStringLiteral("А;b"));
    EXPECT_EQ(textfile::decode(QByteArray("\xC0;b")), QStringLiteral("А;b"));
    // Without the mark, UTF-8 bytes are read as Windows-1251, as the operator's files are.
    EXPECT_EQ(textfile::decode(QByteArray("\xD0\x90")), QStringLiteral("РђР").left(2));
}

TEST(TextFile, TrimRemovesControlsAndBlanksOnly)
{
    EXPECT_EQ(textfile::trimmedControl(u"\t \x01 a b \r\n"), u"a b");
    EXPECT_EQ(textfile::trimmedControl(u"\u00A0a\u00A0"), u"\u00A0a\u00A0"); // no-break space stays
    EXPECT_EQ(textfile::trimmedControl(u"   "), u"");
}

TEST(TextFile, ReadingFailuresNameTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.csv"));
    try {
        textfile::readAll(missing);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Cannot open file %1").arg(missing));
    }
    EXPECT_THROW(textfile::readAll(dir.path()), Failure); // a folder is not a file
#ifdef Q_OS_UNIX
    // Only regular files are text: a named pipe would wait for a writer and
    // /dev/zero never ends. A link to a regular file is read as that file.
    const QString pipe = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &special : {pipe, QStringLiteral("/dev/zero")}) {
        try {
            textfile::readAll(special);
            ADD_FAILURE() << "read " << special.toStdString();
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.message(), QStringLiteral("Cannot open file %1").arg(special));
        }
    }
    const QString regular = dir.filePath(QStringLiteral("day.csv"));
    test::writeFile(regular, "a;b\r\n");
    ASSERT_TRUE(QFile::link(regular, dir.filePath(QStringLiteral("link.csv"))));
    EXPECT_EQ(textfile::readAll(dir.filePath(QStringLiteral("link.csv"))), QByteArray("a;b\r\n"));
#endif
}

TEST(TextFile, AtomicWriteWaitsForAReaderToLetGo)
{
    // Windows replaces no file that is open: a second window reading the list
    // at that moment must not cost the operator the save.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Subst.cfg"));
    test::writeFile(path, "old\r\n");
    auto reader = std::make_unique<QFile>(path);
    ASSERT_TRUE(reader->open(QIODevice::ReadOnly));
    std::thread letGo([&] {
        QThread::msleep(150);
        reader->close();
    });
    EXPECT_NO_THROW(textfile::writeAtomically(path, "new\r\n"));
    letGo.join();
    EXPECT_EQ(test::readFile(path), QByteArray("new\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no leftover beside it
}

TEST(TextFile, AtomicWriteKeepsTheOldFileWhenTheWriteFails)
{
    LINTARO_UNIX_FIXTURE("a file size limit");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Folders.cfg"));
    test::writeFile(path, "old contents\r\n");
    {
        test::FileSizeLimit limit(4);
        EXPECT_THROW(textfile::writeAtomically(path, QByteArray(64, 'x')), Failure);
    }
    EXPECT_EQ(test::readFile(path), QByteArray("old contents\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no leftover beside it

    try {
        textfile::writeAtomically(test::uncreatablePath(path, QStringLiteral("x.cfg")), "x");
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.message().startsWith(QStringLiteral("Cannot create file ")));
    }
}

namespace {

QList<OutputFile> daySet(const QString &folder, const QByteArray &tag)
{
    QList<OutputFile> files;
    for (int k = 1; k <= 3; ++k)
        files.append({QStringLiteral("%1/Day^.K%2.psq").arg(folder).arg(k), tag + QByteArray::number(k)});
    return files;
}

void expectContents(const QList<OutputFile> &files, const QByteArray &tag)
{
    for (const OutputFile &file : files)
        EXPECT_EQ(test::readFile(file.path), tag + file.path.right(5).left(1)) << file.path.toStdString();
}

QString failureOf(const QList<OutputFile> &files)
{
    try {
        writeFileSet(files);
    } catch (const Failure &failure) {
        return failure.message();
    }
    return QStringLiteral("no failure");
}

} // namespace

TEST(FileSet, AFailedFileLeavesEveryTargetAsItWas)
{
    QTemporaryDir dir;
    const QList<OutputFile> yesterday = daySet(dir.path(), "old ");
    writeFileSet(yesterday);

    // A full disk at the second file: no target changes, the box names it.
    LINTARO_UNIX_FIXTURE("a file size limit");
    QList<OutputFile> today = daySet(dir.path(), "new ");
    today[1].bytes = QByteArray(4096, 'x');
    {
        test::FileSizeLimit limit(1024);
        EXPECT_EQ(failureOf(today), QStringLiteral("Cannot create file %1").arg(today[1].path));
    }
    expectContents(yesterday, "old ");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3); // nothing left beside them

    // A name too long for the file system is named like any other.
    today = daySet(dir.path(), "new ");
    today[2].path = dir.filePath(QString(300, u'K') + QStringLiteral(".psq"));
    EXPECT_EQ(failureOf(today), QStringLiteral("Cannot create file %1").arg(today[2].path));
    expectContents(yesterday, "old ");

    QStringList heard;
    today = daySet(dir.path(), "new ");
    EXPECT_EQ(writeFileSet(today, [&](const QString &path) { heard.append(path); }), heard);
    EXPECT_EQ(heard, (QStringList{today[0].path, today[1].path, today[2].path}));
    expectContents(today, "new ");
}

// New files get the rights the umask leaves, a replaced one keeps its own; a
// name at the file system's limit is written, one byte more is refused.
TEST(FileSet, NewFilesHonourTheUmaskAndNamesUpToTheLimitAreWritten)
{
    LINTARO_UNIX_FIXTURE("a umask");
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString longest = dir.filePath(QString(251, u'K') + QStringLiteral(".psq"));
    const mode_t previous = ::umask(027);
    writeFileSet({ { dir.filePath(QStringLiteral("Day.psq")), "day" }, { longest, "long" } });
    textfile::writeAtomically(dir.filePath(QStringLiteral("Subst.cfg")), "x");
    ::umask(previous);
    for (const QString &name : { QStringLiteral("Day.psq"), QStringLiteral("Subst.cfg") }) {
        struct stat info
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(name)).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u) << name.toStdString();
    }
    EXPECT_EQ(test::readFile(longest), QByteArray("long"));
    QFile::setPermissions(longest, QFile::ReadOwner | QFile::WriteOwner);
    writeFileSet({ { longest, "again" } });
    EXPECT_EQ(QFile::permissions(longest),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    const QString tooLong = dir.filePath(QString(252, u'K') + QStringLiteral(".psq"));
    EXPECT_EQ(failureOf({ { tooLong, "x" } }), QStringLiteral("Cannot create file %1").arg(tooLong));
#endif
}

TEST(FileSet, TargetsInAClosedFolderAreWrittenInPlaceAfterAllOthers)
{
    QTemporaryDir dir;
    test::Unprivileged::openToEveryone(dir.path());
    const QString own = dir.filePath(QStringLiteral("own"));
    const QString shared = dir.filePath(QStringLiteral("shared"));
    QList<OutputFile> files = daySet(own, "old ");
    files[1].path = shared + QStringLiteral("/Day^.K2.psq");
    for (const OutputFile &file : files) {
        test::writeFile(file.path, file.bytes);
        QFile::setPermissions(file.path, QFile::Permissions(0x6666));
    }
    QFile::setPermissions(own, QFile::Permissions(0x7777));
    QFile::setPermissions(shared, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);

    for (OutputFile &file : files)
        file.bytes.replace("old ", "new ");
    {
        test::Unprivileged nobody;
        if (!nobody.active())
            GTEST_SKIP() << "cannot run as an unprivileged user here";
        QStringList heard;
        writeFileSet(files, [&](const QString &path) { heard.append(path); });
        EXPECT_EQ(heard, (QStringList{files[0].path, files[2].path, files[1].path}));
        expectContents(files, "new ");

        // A failed write in place comes last, when the others are new: the box says the set may be mixed.
        files[1].bytes = QByteArray(4096, 'x');
        files[0].bytes = "next 1";
        test::FileSizeLimit limit(1024);
        const QString message = failureOf(files);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file %1\n").arg(files[1].path)));
        EXPECT_TRUE(message.endsWith(fileset::mixedSetNote())) << message.toStdString();
        EXPECT_EQ(test::readFile(files[0].path), QByteArray("next 1"));
    }

    // A target that can be neither replaced nor written stops the set before anything changed.
    QFile::setPermissions(files[1].path, QFile::ReadOwner | QFile::ReadOther);
    files[0].bytes = "last 1";
    test::Unprivileged nobody;
    EXPECT_EQ(failureOf(files), QStringLiteral("Cannot create file %1").arg(files[1].path));
    EXPECT_EQ(test::readFile(files[0].path), QByteArray("next 1"));
}

TEST(TextFile, EncodeLinesEndsEveryLineAndRefusesForeignCharacters)
{
    EXPECT_EQ(textfile::encodeLines({QStringLiteral("C:\\Клипы"), QStringLiteral("D:\\Ads")}),
              QByteArray("C:\\\xCA\xEB\xE8\xEF\xFB\r\nD:\\Ads\r\n"));
    EXPECT_EQ(textfile::encodeLines({}), QByteArray());
    EXPECT_THROW(textfile::encodeLines({QStringLiteral("\u4E2D")}), Failure);
}

TEST(ErrorReport, FinalDotOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(ErrorReport::withFinalDot(QStringLiteral("Cannot open file a.csv")),
              QStringLiteral("Cannot open file a.csv."));
    EXPECT_EQ(ErrorReport::withFinalDot(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(ErrorReport::withFinalDot(QStringLiteral("value (x)")), QStringLiteral("value (x)"));
    EXPECT_EQ(ErrorReport::withFinalDot(QStringLiteral("path -")), QStringLiteral("path -"));
    EXPECT_EQ(ErrorReport::withFinalDot(QStringLiteral("Ошибка")), QStringLiteral("Ошибка."));
    EXPECT_EQ(ErrorReport::withFinalDot(QString()), QString());
}

TEST(ErrorReport, GuardShowsTheFailureWithTheProgramTitleAndStopIcon)
{
    test::ScriptedInteraction interaction;
    const ErrorReport report(interaction);
    EXPECT_TRUE(report.guard([] {}));
    EXPECT_FALSE(report.guard([] { throw Failure(QStringLiteral("Stream write error")); }));
    ASSERT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(interaction.messages[0].caption, QStringLiteral("Lintaro"));
    EXPECT_EQ(interaction.messages[0].text, QStringLiteral("Stream write error."));
    EXPECT_EQ(interaction.messages[0].icon, MessageIcon::Error);
}
