// The conversion run through the main window against the same run through the
// core alone, as lintaro-cli runs it: a 3,000-row schedule with one separator
// column whose 300 clips lie in one search folder among 5,000 files. The
// window runs offscreen with every window start-up creates; its run may cost
// at most 1.5 times the core's.
// Usage: bench_window
#include "archivefiles.h"
#include "app/application.h"
#include "app/tform1.h"
#include "common/interaction.h"
#include "lookup/clipresolver.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"
#include "schedule/scheduleimport.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace lintaro;

namespace {

constexpr int kRows = 3000;
constexpr int kClips = 300;
constexpr int kFiles = 5000;
constexpr int kRowsPerCassette = 500;
constexpr int kRepeats = 3;

// Answers the save dialog with a fixed name and every question with its default.
class SaveAsInteraction : public Interaction
{
public:
    explicit SaveAsInteraction(const QString &saveAs) : m_saveAs(saveAs) {}
    MessageAnswer message(const QString &, const QString &text, MessageIcon, MessageButtons buttons) override
    {
        lastMessage = text;
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
    std::optional<QString> openFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return m_saveAs; }
    std::optional<QString> chooseFolder(const QString &) override { return std::nullopt; }
    void openExternal(const QString &) override {}

    QString lastMessage;

private:
    QString m_saveAs;
};

QString clipName(int k)
{
    return QStringLiteral("CLIP%1").arg(k, 5, 10, QLatin1Char('0'));
}

double bestOf(const std::function<void()> &work)
{
    return bench::bestOf(kRepeats, work);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir root;
    const QString clips = root.filePath(QStringLiteral("clips"));
    const QString config = root.filePath(QStringLiteral("config"));
    const QString output = root.filePath(QStringLiteral("out"));
    for (const QString &folder : {clips, config, output})
        QDir().mkpath(folder);
    const QByteArray avi = bench::tinyAvi();
    for (int k = 0; k < kClips; ++k)
        bench::writeBytes(clips + u'/' + clipName(k) + QStringLiteral(".avi"), avi);
    for (int i = 0; i < kFiles - kClips; ++i)
        bench::writeBytes(clips + QStringLiteral("/OTHER%1.avi").arg(i));
    bench::setBackAMinute(clips);
    bench::writeBytes(config + QStringLiteral("/Folders.cfg"), QFile::encodeName(clips) + "\r\n");
    qputenv("LINTARO_CONFIG_DIR", QFile::encodeName(config));

    QString text;
    for (int r = 0; r < kRows; ++r)
        text += QStringLiteral("%1;Rolik (%2);K%3\r\n").arg(r).arg(clipName(r * 7 % kClips)).arg(r / kRowsPerCassette);
    const QString schedulePath = root.filePath(QStringLiteral("day.csv"));
    bench::writeBytes(schedulePath, text.toUtf8());

    SettingsStore settings(root.filePath(QStringLiteral("settings.ini")));
    settings.write(QStringLiteral("ColWidths"), QStringLiteral("64;120;64"));
    settings.write(QStringLiteral("Brakes"), QStringLiteral("0;0;1"));
    settings.write(QStringLiteral("Source"), QStringLiteral("1"));

    // The core: the run as lintaro-cli makes it, no hooks but the files.
    SaveAsInteraction coreInteraction(output + QStringLiteral("/core"));
    SearchFolderModel folders;
    folders.load(config + QStringLiteral("/Folders.cfg"));
    SubstitutionModel substitutions(settings);
    ClipResolver resolver(folders, substitutions, coreInteraction);
    ScheduleTable table = readScheduleFile(schedulePath);
    table.setSourceColumn(1);
    table.setCaption(1, kSourceCaption);
    table.setCaption(2, kSeparatorCaption);
    int coreFiles = 0;
    const double coreMs = bestOf([&] {
        QString saveFileName;
        const ConversionRun::Result result = ConversionRun(coreInteraction, nullptr, resolver)
                                                 .run(table, saveFileName, ConversionRun::Hooks());
        coreFiles = int(result.files.size());
    });

    // The window: start-up, the schedule opened with its stored layout, then "Конвертнуть".
    SaveAsInteraction windowInteraction(output + QStringLiteral("/window"));
    std::unique_ptr<TForm1> form = createWindows(windowInteraction, settings);
    form->show();
    form->openScheduleFile(schedulePath);
    QCoreApplication::processEvents();
    const double windowMs = bestOf([&] { form->Build1Click(); });
    const int windowFiles = int(QDir(output).entryList({QStringLiteral("window*")}, QDir::Files).size());

    out << "schedule: " << kRows << " rows, " << kClips << " clips among " << kFiles << " files, " << coreFiles
        << " files written\n";
    out << "core run (as lintaro-cli):  " << coreMs << " ms (best of " << kRepeats << ")\n";
    out << "window run (offscreen):     " << windowMs << " ms (best of " << kRepeats << ")\n";
    out << "ratio window / core:        " << windowMs / coreMs << " (target at most 1.5)\n";
    const bool sound = coreFiles > 0 && windowFiles == coreFiles && windowInteraction.lastMessage.isEmpty();
    if (!sound)
        out << "the runs differ: " << windowFiles << " files from the window, " << coreFiles
            << " from the core; " << windowInteraction.lastMessage << "\n";
    out.flush();
    form.reset();
    return sound ? 0 : 2;
}
