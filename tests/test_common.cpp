#include "common/cp1251.h"
#include "common/errorreport.h"
#include "common/failure.h"
#include "common/textfile.h"
#include "support/fixtures.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

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
