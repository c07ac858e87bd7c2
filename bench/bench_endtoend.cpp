// The check run and the conversion run end to end, as lintaro-cli runs them:
// a 2,000-row schedule with two separator columns whose clips lie among 10
// search folders of 20,000 files each (folder times a minute back, as an
// archive's are). The clips the schedule names are small real AVI files, the
// rest empty. Each run is compared with its floor: one listing pass over the
// folders, plus for the conversion one header read per distinct clip. The
// writing of the 2,000 rows in every sequence format is set against the same floor.
// The deep check and the conversion are also set against the floor of a run
// that reads each clip's headers eight at a time, as they do.
// Usage: bench_endtoend [archive folder to keep] [folder for the work folder, default the archive's]
// (bench/netshare.sh passes an archive seen through a network share.)
#include "archivefiles.h"
#include "common/interaction.h"
#include "lookup/checkrun.h"
#include "lookup/clipresolver.h"
#include "lookup/directorylisting.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "schedule/scheduleimport.h"
#include "schedule/scheduletable.h"
#include "sequence/aviprobe.h"
#include "common/textfile.h"
#include "sequence/conversionrun.h"
#include "sequence/deepcheck.h"
#include "sequence/sequencewriter.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>

#include <atomic>

#include <cstdio>
#include <optional>


using namespace lintaro;
using bench::archiveFileName;

namespace {

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 20000;
constexpr int kRows = 2000;
// Every clip stands in two rows, as reruns do in a broadcast day.
constexpr int kDistinctClips = kRows / 2;
constexpr int kRowsPerBlock = 50;
constexpr int kRowsPerCassette = 400;
constexpr int kRepeats = 5;

// Never asked anything but the save dialog, which it answers with a fixed name.
class SaveAsInteraction : public Interaction
{
public:
    explicit SaveAsInteraction(const QString &saveAs) : m_saveAs(saveAs) {}
    MessageAnswer message(const QString &, const QString &text, MessageIcon, MessageButtons) override
    {
        lastMessage = text;
        return MessageAnswer::Ok;
    }
    std::optional<QString> openFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return m_saveAs; }
    std::optional<QString> chooseFolder(const QString &) override { return std::nullopt; }
    void openExternal(const QString &) override {}

    QString lastMessage;

private:
    QString m_saveAs;
};

// Clip k of the schedule: spread over all folders and over each folder's names.
int clipFolder(int k)
{
    return k % kFolders;
}
int clipIndex(int k)
{
    return (k * 7919 + 13) % kFilesPerFolder;
}

// time;title (CODE);block;cassette, a block of 50 rows per file and a cassette
// change every 400 rows; clip k airs in rows k and k + 1,000.
QString scheduleText()
{
    QString text;
    for (int r = 0; r < kRows; ++r) {
        const int k = r % kDistinctClips;
        const QString code = archiveFileName(clipFolder(k), clipIndex(k)).chopped(4);
        text += QStringLiteral("%1:%2;Ролик (%3) %4;B%5;K%6\r\n")
                    .arg(6 + r / 120, 2, 10, QLatin1Char('0'))
                    .arg((r / 2) % 60, 2, 10, QLatin1Char('0'))
                    .arg(code)
                    .arg(r)
                    .arg(r / kRowsPerBlock)
                    .arg(r / kRowsPerCassette);
    }
    return text;
}

double bestOf(const std::function<void()> &work)
{
    return bench::bestOf(kRepeats, work);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir temporary;
    const QDir root(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    if (argc <= 1 && !temporary.isValid()) {
        out << "cannot create a temporary folder\n";
        return 1;
    }

    // The archive; a kept folder is built once.
    QElapsedTimer timer;
    timer.start();
    QSet<QString> hits;
    for (int k = 0; k < kDistinctClips; ++k)
        hits.insert(archiveFileName(clipFolder(k), clipIndex(k)));
    const QByteArray avi = bench::tinyAvi();
    QByteArray folderLines;
    QStringList folders;
    for (int f = 0; f < kFolders; ++f) {
        const QString folder = root.filePath(QStringLiteral("archive%1").arg(f));
        QDir().mkpath(folder);
        const bool built = argc > 1 && QFileInfo::exists(folder + u'/' + archiveFileName(f, kFilesPerFolder - 1));
        for (int i = 0; i < kFilesPerFolder && !built; ++i) {
            const QString name = archiveFileName(f, i);
            if (!bench::writeBytes(folder + u'/' + name, hits.contains(name) ? avi : QByteArray())) {
                out << "cannot create the archive in " << root.path() << "\n";
                return 1;
            }
        }
        folders.append(folder);
        folderLines += QFile::encodeName(folder) + "\r\n";
    }
    for (const QString &folder : folders)
        bench::setBackAMinute(folder);
    out << "archive: " << kFolders << " folders x " << kFilesPerFolder << " files (" << hits.size()
        << " of them clips), built in " << timer.elapsed() / 1000.0 << " s\n";
    out.flush();

    const QString work = (argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])) : root).filePath(QStringLiteral("work"));
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    QFile folderList(work + QStringLiteral("/Folders.cfg"));
    folderList.open(QIODevice::WriteOnly);
    folderList.write(folderLines);
    folderList.close();
    QFile scheduleFile(work + QStringLiteral("/day.csv"));
    scheduleFile.open(QIODevice::WriteOnly);
    scheduleFile.write(scheduleText().toUtf8().prepend("\xEF\xBB\xBF"));
    scheduleFile.close();

    SearchFolderModel folderModel;
    folderModel.load(folderList.fileName());
    SettingsStore settings(work + QStringLiteral("/settings.ini"));
    SubstitutionModel substitutions(settings);
    const QString saveAs = work + QStringLiteral("/out/Day1.psq");
    QDir().mkpath(work + QStringLiteral("/out"));
    SaveAsInteraction interaction(saveAs);
    ClipResolver resolver(folderModel, substitutions, interaction);

    ScheduleTable table = readScheduleFile(scheduleFile.fileName());
    table.setSourceColumn(1);
    table.setCaption(1, kSourceCaption);
    table.setCaption(2, kSeparatorCaption);
    table.setCaption(3, kSeparatorCaption);

    QStringList distinctPaths;
    for (int k = 0; k < kDistinctClips; ++k)
        distinctPaths.append(folders[clipFolder(k)] + u'/' + archiveFileName(clipFolder(k), clipIndex(k)));

    // The floors.
    qsizetype listed = 0;
    const double listingMs = bestOf([&] {
        listed = 0;
        for (const QString &folder : folders)
            listed += DirectoryListing::entries(folder).size();
    });
    int probed = 0;
    const double headersMs = bestOf([&] {
        probed = 0;
        for (const QString &path : distinctPaths)
            probed += AviProbe::probe(path, QString()).ok();
    });

    std::atomic<int> probedInParallel = 0;
    const double parallelHeadersMs = bestOf([&] {
        probedInParallel = 0;
        QThreadPool pool;
        pool.setMaxThreadCount(8);
        for (const QString &path : std::as_const(distinctPaths))
            pool.start([&, path] { probedInParallel += AviProbe::probe(path, QString()).ok(); });
        pool.waitForDone();
    });

    // The runs.
    QStringList unresolved;
    const double checkMs = bestOf([&] { unresolved = checkSources(table, resolver).unresolved; });
    DeepCheckReport report;
    const double deepMs = bestOf([&] { report = deepCheck(table, resolver, QString()); });
    ConversionRun::Result result;
    const double convertMs = bestOf([&] {
        QString saveFileName = saveAs;
        ConversionRun::Hooks hooks;
        hooks.audioLocation = [] { return QString(); };
        result = ConversionRun(interaction, nullptr, resolver).run(table, saveFileName, hooks);
    });

    // Writing alone: the rows in files of 50, as the run splits them, rendered
    // and written in each format.
    QList<SequenceFile> rows;
    for (int r = 0; r < kRows; ++r) {
        if (r % kRowsPerBlock == 0)
            rows.append({QStringLiteral("Day1^.B%1").arg(r / kRowsPerBlock), {}});
        const int k = r % kDistinctClips;
        rows.back().clips.append({MediaFacts{250, 1, 25, r % 3 == 0 ? 3 : 1}, distinctPaths[k]});
    }
    struct Writing
    {
        QString key;
        double renderMs, writeMs;
    };
    QList<Writing> writing;
    for (const SequenceFormatInfo &format : sequenceFormats()) {
        const std::unique_ptr<SequenceWriter> writer = makeSequenceWriter(format.format);
        qsizetype bytes = 0;
        const double renderMs = bestOf([&] {
            bytes = 0;
            for (const SequenceFile &file : std::as_const(rows))
                bytes += writer->render(file).size();
        });
        const double writeMs = bestOf([&] {
            for (const SequenceFile &file : std::as_const(rows))
                textfile::writeAtomically(work + QStringLiteral("/out/") + file.name + format.extension,
                                          writer->render(file));
        });
        writing.append({format.key, renderMs, writeMs});
    }

    const bool sound = unresolved.isEmpty() && result.outcome == ConversionRun::Outcome::Written
        && probed == kDistinctClips && probedInParallel == kDistinctClips && report.allFound() && listed == qsizetype(kFolders) * kFilesPerFolder;
    out << "schedule: " << kRows << " rows, " << kDistinctClips << " distinct clips, " << result.files.size()
        << " sequence files written\n";
    out << "floor, one listing pass:          " << listingMs << " ms (" << listed << " entries)\n";
    out << "floor, one header read per clip:  " << headersMs << " ms (" << probed << " clips)\n";
    out << "check run:                        " << checkMs << " ms, ratio to the listing pass "
        << checkMs / listingMs << "\n";
    out << "conversion run:                   " << convertMs << " ms, ratio to listing + headers "
        << convertMs / (listingMs + headersMs) << "\n";
    const double parallelFloorMs = listingMs + parallelHeadersMs;
    out << "floor, headers eight at a time:   " << parallelHeadersMs << " ms\n";
    out << "deep check run:                   " << deepMs << " ms, ratio to listing + parallel headers "
        << deepMs / parallelFloorMs << " (target 2 or less)\n";
    out << "conversion run:                   ratio to listing + parallel headers " << convertMs / parallelFloorMs
        << " (target 2 or less)\n";
    const double floorMs = listingMs + headersMs;
    for (const Writing &w : std::as_const(writing))
        out << "rendering " << kRows << " rows as " << w.key << ":       " << w.renderMs
            << " ms, ratio to listing + headers " << w.renderMs / floorMs << "; with writing the "
            << kRows / kRowsPerBlock << " files " << w.writeMs << " ms, ratio " << w.writeMs / floorMs << "\n";
    out << "(all figures best of " << kRepeats << ", warm cache)\n";
    if (!sound) {
        out << "the runs did not do the whole work: " << unresolved.size() << " unresolved, "
            << interaction.lastMessage << "\n";
        return 2;
    }
    return 0;
}
