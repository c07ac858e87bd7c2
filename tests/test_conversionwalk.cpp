#include "schedule/rowuse.h"
#include "schedule/scheduleimport.h"
#include "sequence/conversionwalk.h"
#include "sequence/deepcheck.h"
#include "sequence/outputnames.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace lintaro;

namespace {

// Records what the walk did: each file is the list of Source texts it received.
struct Recorder
{
    QList<QStringList> files;
    QList<int> visited;
    QList<int> progress;
    QString failOn; // a source text whose row fails

    ConversionWalkHooks hooks()
    {
        ConversionWalkHooks hooks;
        hooks.visitRow = [this](int row) { visited.append(row); };
        hooks.startFile = [this] { files.append(QStringList()); };
        hooks.convertRow = [this](const QString &source) {
            if (!failOn.isEmpty() && source == failOn)
                return QStringLiteral("Не могу найти файл \"%1\"").arg(source);
            files.last().append(source);
            return QString();
        };
        hooks.progress = [this](int percent) { progress.append(percent); };
        return hooks;
    }
};

ScheduleTable schedule(QStringView text, int source, QList<int> separators)
{
    ScheduleTable table = parseSchedule(text);
    table.setSourceColumn(source);
    table.setCaption(source, kSourceCaption);
    for (const int c : separators)
        table.setCaption(c, kSeparatorCaption);
    return table;
}

} // namespace

TEST(ConversionWalk, WithoutSeparatorsEveryRowGoesIntoOneFile)
{
    Recorder recorder;
    const ConversionWalkResult result = walkSchedule(schedule(u" a ;1\nb;2\nc;3\n", 0, {}), recorder.hooks());
    EXPECT_FALSE(result.failed);
    EXPECT_FALSE(result.separatorPresent);
    EXPECT_EQ(recorder.files, (QList<QStringList>{{"a", "b", "c"}})); // trimmed
    EXPECT_EQ(result.suffixes, QStringList{""});
    EXPECT_EQ(recorder.progress, (QList<int>{25, 50, 75})); // never 100
}

TEST(ConversionWalk, SeparatorValuesSplitFilesAndEmptyCellsDoNotInterrupt)
{
    Recorder recorder;
    const ConversionWalkResult result
        = walkSchedule(schedule(u"s1;K1\ns2;K1\ns3;\ns4;K2\n", 0, {1}), recorder.hooks());
    EXPECT_EQ(recorder.files, (QList<QStringList>{{"s1", "s2", "s3"}, {"s4"}}));
    EXPECT_EQ(result.suffixes, (QStringList{".K1", ".K2"}));
    EXPECT_TRUE(result.separatorPresent);
}

TEST(ConversionWalk, RowsAboveTheFirstSeparatorValueAreSkippedWithoutAnyLookup)
{
    Recorder recorder;
    recorder.failOn = QStringLiteral("skipped");
    const ConversionWalkResult result
        = walkSchedule(schedule(u"skipped;\nskipped; \ns3;K1\n", 0, {1}), recorder.hooks());
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(recorder.files, (QList<QStringList>{{"s3"}}));
    EXPECT_EQ(recorder.visited, (QList<int>{1, 2, 3})); // the grid still follows every row
    EXPECT_EQ(recorder.progress, QList<int>{75});
}

TEST(ConversionWalk, EverySeparatorColumnWithAValueContributesToTheSuffix)
{
    Recorder recorder;
    const ConversionWalkResult result
        = walkSchedule(schedule(u"K1;a;10\nK2;b;\nK2;c;11\n", 1, {0, 2}), recorder.hooks());
    EXPECT_EQ(result.suffixes, (QStringList{".K1.10", ".K2.10", ".K2.11"}));
    EXPECT_EQ(recorder.files, (QList<QStringList>{{"a"}, {"b"}, {"c"}}));
}

TEST(ConversionWalk, AColumnEmptyInEveryRowConvertsNothing)
{
    Recorder recorder;
    const ConversionWalkResult result = walkSchedule(schedule(u"a;\nb;\n", 0, {1}), recorder.hooks());
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.fileCount, 0);
    EXPECT_TRUE(result.suffixes.isEmpty());
    EXPECT_TRUE(result.separatorPresent);
}

TEST(ConversionWalk, TheFirstFailingRowEndsTheWalk)
{
    Recorder recorder;
    recorder.failOn = QStringLiteral("bad");
    const ConversionWalkResult result = walkSchedule(schedule(u"a\nbad\nc\n", 0, {}), recorder.hooks());
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.failedRow, 2);
    EXPECT_EQ(result.error, QStringLiteral("Не могу найти файл \"bad\""));
    EXPECT_EQ(recorder.visited, (QList<int>{1, 2}));
}

TEST(ConversionWalk, RowsNotConvertedStillCountTheirSeparatorsAndStartNoFileOfTheirOwn)
{
    // Block titles without a clip carry the cassette; a hidden, an unselected
    // and a merged row change it twice more before the next clip.
    ScheduleTable table = schedule(u"a;K1\n \t;K2\nb;\nh;K3\ns;K4\nm;K5\nc;\nd;K6\n;K6\n", 0, {1});
    table.setRowHidden(4, true);
    table.setMergedCell(0, 6, true);
    const RowSelection selection{{{1, 4}, {6, 9}}};
    EXPECT_EQ(rowUse(table, 4, &selection), RowUse::Hidden) << "hidden before skipped";
    for (const RowSelection *chosen : {&selection, static_cast<const RowSelection *>(nullptr)}) {
        Recorder recorder;
        const ConversionWalkResult result = walkSchedule(table, recorder.hooks(), chosen);
        EXPECT_FALSE(result.failed);
        if (chosen) {
            EXPECT_EQ(recorder.files, (QList<QStringList>{{"a"}, {"b"}, {"c"}, {"d"}}));
            EXPECT_EQ(result.suffixes, (QStringList{".K1", ".K2", ".K5", ".K6"}));
        } else {
            EXPECT_EQ(recorder.files, (QList<QStringList>{{"a"}, {"b"}, {"s"}, {"c"}, {"d"}}));
        }
        EXPECT_EQ(result.emptyRows, 3) << "the blank and the merged Source cell, and the last row";
        EXPECT_EQ(recorder.visited.size(), 9);
        EXPECT_EQ(recorder.progress.size(), recorder.files.size()) << "only converted rows move the bar";
    }
    // A pick of one row is a click, not a choice of rows.
    const RowSelection one{{{3, 3}}};
    EXPECT_EQ(rowUse(table, 1, &one), RowUse::Converted);
}

TEST(OutputNames, SuffixesLoseForbiddenCharacters)
{
    EXPECT_EQ(fileNameSafe(QStringLiteral(".10:30")), QStringLiteral(".10_30"));
    EXPECT_EQ(fileNameSafe(QStringLiteral(".12/")), QStringLiteral(".12_"));
    EXPECT_EQ(fileNameSafe(QStringLiteral(".a\\b/c:d*e?f\"g<h>i|j")), QStringLiteral(".a_b_c_d_e_f_g_h_i_j"));
}

TEST(OutputNames, PrefixRules)
{
    EXPECT_EQ(namePrefix(QStringLiteral("D:\\Out\\Day1.psq"), false), QStringLiteral("D:\\Out\\Day1"));
    EXPECT_EQ(namePrefix(QStringLiteral("D:\\Out\\Day1"), false), QStringLiteral("D:\\Out\\Day1"));
    EXPECT_EQ(namePrefix(QStringLiteral("D:\\Out\\Day1^.K7.psq"), true), QStringLiteral("D:\\Out\\Day1^"));
    EXPECT_EQ(namePrefix(QStringLiteral("D:\\Out\\Day1.PSQ"), false), QStringLiteral("D:\\Out\\Day1.PSQ"));
    EXPECT_EQ(namePrefix(QStringLiteral("/out/a^b/Day1.psq"), true), QStringLiteral("/out/a^"));
    // Another format cuts at ".psq" and at its own extension alike.
    EXPECT_EQ(namePrefix(QStringLiteral("out/Day1.psq"), false, ".edl"), QStringLiteral("out/Day1"));
    EXPECT_EQ(namePrefix(QStringLiteral("out/Day1.edl"), false, ".edl"), QStringLiteral("out/Day1"));
    EXPECT_EQ(namePrefix(QStringLiteral("out/Day1.xml.old"), true, ".xml"), QStringLiteral("out/Day1^"));
    EXPECT_EQ(namePrefix(QStringLiteral("out/Day1.mlt"), false, ".edl"), QStringLiteral("out/Day1.mlt"));
}

TEST(OutputNames, ARepeatedSuffixGetsANumberInsteadOfOverwriting)
{
    EXPECT_EQ(outputFileNames(QStringLiteral("Day1^"), {".K1", ".K2", ".K1", ".k1"}),
              (QStringList{"Day1^.K1.psq", "Day1^.K2.psq", "Day1^.K1~2.psq", "Day1^.k1~3.psq"}));
    EXPECT_EQ(outputFileNames(QStringLiteral("Day1"), {""}), QStringList{"Day1.psq"});
    EXPECT_EQ(outputFileNames(QStringLiteral("День1^"), {".К1", ".К1"}, ".xml"),
              (QStringList{"День1^.К1.xml", "День1^.К1~2.xml"}));
}

TEST(DeepCheckTimecode, CountsAtTheClipsRateWithDropFrameWhereItApplies)
{
    struct Case
    {
        quint64 frames;
        MediaFacts rate; // only the step and the scaled rate count
        const char *expected;
    };
    const QList<Case> cases = {
        {0, {0, 1, 25, 1}, "00:00:00:00"},
        {90061 * 25 + 7, {0, 1, 25, 1}, "25:01:01:07"}, // hours run past a day
        {1799, {0, 100, 2997, 1}, "00:00:59;29"},
        {1800, {0, 100, 2997, 1}, "00:01:00;02"},       // frames 0 and 1 of the minute are skipped
        {17982, {0, 100, 2997, 1}, "00:10:00;00"},      // but not at the tenth minute
        {3600, {0, 100, 5994, 1}, "00:01:00;04"},
        {25, {0, 10, 125, 1}, "00:00:02:00"},           // 12.5 fps: whole seconds of real time
        {13, {0, 10, 125, 1}, "00:00:01:00"},
        {12, {0, 10, 125, 1}, "00:00:00:12"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(timecode(c.frames, c.rate), QString::fromLatin1(c.expected));
    }
    // A file of mixed rates adds up each clip's own time, counted at the first clip's rate.
    EXPECT_EQ(groupDuration({{250, 1, 25, 1}, {330, 100, 2997, 1}}), QStringLiteral("00:00:21:00"));
}
