// The bracket search over a big archive: 2,000 codes (hits, misses and
// ambiguous codes) against 10 search folders of 20,000 files each, whose
// times lie a minute back. Three ways in one run: one plain listing pass over
// the folders (the floor), listing every folder anew for every code, and the
// run's listing cache. Then the same codes against 1,000 folders of 1,000
// files and 10,000 folders of 100, against their own listing pass (listing
// anew is left out there: it would take hours).
// Usage: bench_lookup [codes listed anew, default all] [archive folder to keep]
//                     [layouts, default 10x20000,1000x1000,10000x100]
#include "archivefiles.h"
#include "common/interaction.h"
#include "lookup/clipresolver.h"
#include "lookup/directorylisting.h"
#include "lookup/listingcache.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>
#include <numeric>

#include <cstdio>
#include <optional>


using namespace lintaro;
using bench::archiveFileName;

namespace {

constexpr int kCodes = 2000;
int kFolders = 10;
int kFilesPerFolder = 20000;

// Never asked: every search runs quiet.
class SilentInteraction : public Interaction
{
public:
    MessageAnswer message(const QString &, const QString &, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::Ok;
    }
    std::optional<QString> openFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> chooseFolder(const QString &) override { return std::nullopt; }
    void openExternal(const QString &) override {}
};


// Three in five codes name one file, one in five nothing, one in five ten files.
QStringList makeCodes()
{
    QStringList codes;
    for (int i = 0; i < kCodes; ++i) {
        const int folder = (i * 7) % kFolders;
        const int index = (i * 7919) % kFilesPerFolder;
        switch (i % 5) {
        case 0:
        case 1:
        case 2: codes.append(archiveFileName(folder, index).chopped(4)); break;
        case 3: codes.append(QStringLiteral("Missing%1").arg(i)); break;
        default: codes.append(archiveFileName(folder, index).chopped(5)); break; // F3R0123: ten candidates
        }
    }
    return codes;
}

// One archive layout; answers differing from a fresh listing make it fail.
int measureLayout(bool keep, int anewCount, const QDir &root)
{
    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    QByteArray folderLines;
    QStringList folders;
    for (int f = 0; f < kFolders; ++f) {
        const QString folder = root.filePath(QStringLiteral("archive%1").arg(f));
        QDir().mkpath(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            if (keep && QFileInfo::exists(folder + u'/' + archiveFileName(f, kFilesPerFolder - 1)))
                break;
            if (!bench::writeBytes(folder + u'/' + archiveFileName(f, i))) {
                out << "cannot create the archive in " << root.path() << "\n";
                return -1;
            }
        }
        folders.append(folder);
        folderLines += QFile::encodeName(folder) + "\r\n";
    }
    for (const QString &folder : folders)
        bench::setBackAMinute(folder);
    out << "archive: " << kFolders << " folders x " << kFilesPerFolder << " files, built in "
        << timer.elapsed() / 1000.0 << " s\n";
    out.flush();

    QFile list(root.filePath(QStringLiteral("Folders.cfg")));
    list.open(QIODevice::WriteOnly);
    list.write(folderLines);
    list.close();
    SearchFolderModel folderModel;
    folderModel.load(list.fileName());
    SettingsStore settings(root.filePath(QStringLiteral("settings.ini")));
    SubstitutionModel substitutions(settings);
    SilentInteraction interaction;
    const ClipResolver resolver(folderModel, substitutions, interaction);
    const QStringList codes = makeCodes();

    // The machine is shared: each of the fast figures is the best of a few runs.
    constexpr int kRepeats = 5;

    // The floor: every folder listed once.
    double floorMs = 1e300;
    qsizetype listed = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        timer.restart();
        listed = 0;
        for (const QString &folder : folders)
            listed += DirectoryListing::entries(folder).size();
        floorMs = qMin(floorMs, timer.nsecsElapsed() / 1e6);
    }

    // Ours: one cache for the whole run.
    double oursMs = 1e300;
    int listingsTaken = 0;
    QList<std::optional<QString>> ours;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        timer.restart();
        ListingCache cache;
        ours.clear();
        for (const QString &code : codes)
            ours.append(resolver.bracketSearch(code, true, &cache));
        oursMs = qMin(oursMs, timer.nsecsElapsed() / 1e6);
        listingsTaken = cache.listingsTaken();
    }

    // A second run with the listings the program kept from the first.
    ListingCache kept;
    kept.beginRun(folderModel.list().texts());
    for (const QString &code : codes)
        resolver.bracketSearch(code, true, &kept);
    double secondMs = 1e300;
    int secondListings = 0;
    int secondDifferences = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        const int before = kept.listingsTaken();
        timer.restart();
        kept.beginRun(folderModel.list().texts());
        QList<std::optional<QString>> second;
        for (const QString &code : codes)
            second.append(resolver.bracketSearch(code, true, &kept));
        secondMs = qMin(secondMs, timer.nsecsElapsed() / 1e6);
        secondListings = kept.listingsTaken() - before;
        secondDifferences = int(std::inner_product(second.begin(), second.end(), ours.begin(), qsizetype(0),
                                                   std::plus<>(), std::not_equal_to<>()));
    }

    // What the kept cache cannot avoid: one look at a folder's time per lookup.
    timer.restart();
    for (const QString &code : codes) {
        Q_UNUSED(code);
        for (const QString &folder : folders)
            DirectoryListing::stamp(folder);
    }
    const double checksMs = timer.nsecsElapsed() / 1e6;

    // Anew: every folder listed again for every code.
    timer.restart();
    int differences = 0;
    for (int i = 0; i < anewCount; ++i) {
        if (resolver.bracketSearch(codes[i], true) != ours[i])
            ++differences;
    }
    const double anewSampleMs = timer.nsecsElapsed() / 1e6;
    const double anewMs = anewCount ? anewSampleMs * kCodes / anewCount : 0;

    int found = 0;
    for (const auto &path : ours)
        found += path.has_value();
    out << "codes: " << kCodes << " (" << found << " found), listed entries in the floor pass: " << listed
        << "\n";
    out << "floor, one listing pass:  " << floorMs << " ms (best of " << kRepeats << ")\n";
    if (anewCount) {
        out << "listing anew per code:    " << anewMs << " ms"
            << (anewCount < kCodes ? QStringLiteral(" (from %1 codes)").arg(anewCount) : QString()) << "\n";
    }
    out << "ours, run listing cache:  " << oursMs << " ms (best of " << kRepeats << ", " << listingsTaken << " folder listings)\n";
    out << "ratio ours / floor:       " << oursMs / floorMs << " (target 2 or less)\n";
    if (anewCount)
        out << "ratio anew / ours:        " << anewMs / oursMs << "\n";
    out << "second run, kept cache:   " << secondMs << " ms (best of " << kRepeats << ", " << secondListings
        << " folder listings)\n";
    out << "  a stat per folder per code, as once: " << checksMs << " ms (" << kCodes * kFolders
        << " stat calls)\n";
    out << "ratio second / floor:     " << secondMs / floorMs << " (target under 0.2)\n";
    out << "answers differing from a fresh listing: " << differences << "\n";
    out.flush();
    return differences + secondDifferences;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int anewCount = argc > 1 ? qBound(1, atoi(argv[1]), kCodes) : kCodes;

    // A folder named as the second argument is built once and kept, so repeated
    // runs skip the build; by default a temporary one is built and removed.
    QTemporaryDir temporary;
    const QDir root(argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path());
    if (argc <= 2 && !temporary.isValid()) {
        std::puts("cannot create a temporary folder");
        return 1;
    }
    int differences = 0;
    const QString layouts = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("10x20000,1000x1000,10000x100");
    for (const QString &layout : layouts.split(u',')) {
        kFolders = qMax(1, layout.section(u'x', 0, 0).toInt());
        kFilesPerFolder = qMax(1, layout.section(u'x', 1, 1).toInt());
        const QString name = QStringLiteral("layout%1x%2").arg(kFolders).arg(kFilesPerFolder);
        QDir(root.path()).mkpath(name);
        const int result
            = measureLayout(argc > 2, kFolders <= 10 ? anewCount : 0, QDir(root.filePath(name)));
        if (result < 0)
            return 1;
        differences += result;
        std::puts("");
        if (argc <= 2)
            QDir(root.filePath(name)).removeRecursively();
    }
    return differences == 0 ? 0 : 2;
}
