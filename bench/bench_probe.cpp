// Probe time per clip: 1,000 small AVI files against one file over 1 GiB (sparse),
// warm cache. The headers are read with seeks, so both should cost the same.
// Then 1,000 small MXF files against 1,000 AVI files of the same length, both
// made by ffmpeg, through the one probe entry that picks the reader by name.
// Last the files that would hang or swell an unbounded probe: an MXF whose tail
// is zeros (a copy still under way) and the malformed MOV of the fuzz corpus.
#include "sequence/aviprobe.h"
#include "sequence/mediaprobe.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

using namespace lintaro;

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray bytes = QByteArray(id, 4) + le32(quint32(data.size())) + data;
    if (data.size() % 2)
        bytes.append('\0');
    return bytes;
}

QByteArray record(std::initializer_list<std::pair<int, QByteArray>> fields)
{
    QByteArray bytes(56, '\0');
    for (const auto &[offset, value] : fields)
        bytes.replace(offset, value.size(), value);
    return bytes;
}

// A header list as muxers write it: main header, video and audio stream lists,
// an OpenDML list and padding.
QByteArray headerList(quint32 frames)
{
    const QByteArray avih = chunk("avih", record({{0, le32(40000)}, {16, le32(frames)}, {24, le32(2)}}));
    const QByteArray video = chunk("LIST", "strl"
                                               + chunk("strh", record({{0, "vids"}, {20, le32(1)}, {24, le32(25)},
                                                                       {32, le32(frames)}}))
                                               + chunk("strf", QByteArray(40, '\1')) + chunk("JUNK", QByteArray(4120, 0)));
    const QByteArray audio = chunk("LIST", "strl"
                                               + chunk("strh", record({{0, "auds"}, {20, le32(1)}, {24, le32(48000)}}))
                                               + chunk("strf", QByteArray(18, '\1')) + chunk("JUNK", QByteArray(4120, 0)));
    const QByteArray odml = chunk("LIST", "odml" + chunk("dmlh", le32(frames) + QByteArray(244, 0)));
    return chunk("LIST", "hdrl" + avih + video + audio + odml) + chunk("JUNK", QByteArray(1000, 0));
}

double microsecondsPerProbe(const QStringList &paths, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    quint64 frames = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString &path : paths)
            frames += AviProbe::probe(path, {}).facts.value_or(MediaFacts{}).frameCount;
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1000.0;
    if (frames == 0)
        std::fprintf(stderr, "probe failed\n");
    return elapsed / double(paths.size() * rounds);
}

double microsecondsPerMediaProbe(const QStringList &paths, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString &path : paths)
            failed += !MediaProbe::probe(path, {}).ok();
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1000.0;
    if (failed)
        std::fprintf(stderr, "%d probes failed\n", failed);
    return elapsed / double(paths.size() * rounds);
}

// 1,000 copies of one clip that ffmpeg makes: 10 seconds at 25 fps with sound.
QStringList madeClips(const QString &ffmpeg, const QString &folder, const QString &extension)
{
    const QString first = folder + QStringLiteral("/made.") + extension;
    QProcess make;
    make.start(ffmpeg, {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                        "-f", "lavfi", "-i", "sine=sample_rate=48000:duration=10", "-map", "0:v", "-map", "1:a",
                        "-frames:v", "250", "-c:v", "mpeg2video", "-q:v", "31", "-c:a", "pcm_s16le", first});
    if (!make.waitForFinished(120000) || make.exitCode() != 0)
        return {};
    QStringList paths;
    for (int i = 0; i < 1000; ++i) {
        const QString path = folder + QStringLiteral("/clip%1.").arg(i, 4, 10, QLatin1Char('0')) + extension;
        if (!QFile::copy(first, path))
            return {};
        paths.append(path);
    }
    return paths;
}

void containerLine(const QString &folder)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QStringList mxf = ffmpeg.isEmpty() ? QStringList() : madeClips(ffmpeg, folder + "/mxf", "mxf");
    const QStringList avi = ffmpeg.isEmpty() ? QStringList() : madeClips(ffmpeg, folder + "/avi", "avi");
    if (mxf.isEmpty() || avi.isEmpty()) {
        std::printf("MXF against AVI: skipped, ffmpeg could not make the clips\n");
        return;
    }
    microsecondsPerMediaProbe(mxf, 1);
    microsecondsPerMediaProbe(avi, 1);
    const double mxfTime = microsecondsPerMediaProbe(mxf, 3);
    const double aviTime = microsecondsPerMediaProbe(avi, 3);
    std::printf("MXF files:   %d x %lld bytes, %.1f us per probe\n", int(mxf.size()),
                qlonglong(QFileInfo(mxf[0]).size()), mxfTime);
    std::printf("AVI files:   %d x %lld bytes, %.1f us per probe (same clip)\n", int(avi.size()),
                qlonglong(QFileInfo(avi[0]).size()), aviTime);
    std::printf("ratio MXF/AVI: %.2f (target under 5000 us per MXF probe)\n", mxfTime / aviTime);
}

long peakKilobytes()
{
#ifdef Q_OS_LINUX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return 0;
#endif
}

// The shortest of three probes, in microseconds.
double refusal(const QString &path, QString *failure)
{
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        const MediaProbe::Result result = MediaProbe::probe(path, {});
        const double elapsed = double(timer.nsecsElapsed()) / 1000.0;
        best = best < 0 ? elapsed : std::min(best, elapsed);
        *failure = result.failure;
    }
    return best;
}

void hostileLine(const QString &folder, double baseline)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString copying = folder + QStringLiteral("/copying.mxf");
    QProcess make;
    if (!ffmpeg.isEmpty())
        make.start(ffmpeg,
            { "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                "-frames:v", "250", "-c:v", "mpeg2video", "-b:v", "5M", copying });
    QFile file(copying);
    if (ffmpeg.isEmpty() || !make.waitForFinished(120000) || make.exitCode() != 0
        || !file.resize(file.size() / 2) || !file.resize(qint64(2) << 30)) {
        std::printf("zero-tailed MXF: skipped, ffmpeg could not make the clip\n");
    } else {
        QString failure;
        const double time = refusal(copying, &failure);
        std::printf("zero-tailed MXF: 2 GiB, %.0f us per probe, %.0f x the small AVI (%s)\n", time,
            time / baseline, qPrintable(failure));
    }
    const QString malformed = QStringLiteral(LINTARO_SOURCE_DIR "/fuzz/corpus/container/malformed.mov");
    const long before = peakKilobytes();
    QString failure;
    const double time = refusal(malformed, &failure);
    std::printf("malformed MOV:   %lld bytes, %.0f us per probe, %.0f x the small AVI (%s); "
                "peak memory %ld -> %ld KB (limit 512 MB)\n",
        qlonglong(QFileInfo(malformed).size()), time, time / baseline, qPrintable(failure), before,
        peakKilobytes());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }

    const QByteArray small
        = chunk("RIFF", "AVI " + headerList(250) + chunk("LIST", "movi" + chunk("00dc", QByteArray(60000, 'v'))));
    QStringList smallPaths;
    for (int i = 0; i < 1000; ++i) {
        const QString path = dir.filePath(QStringLiteral("clip%1.avi").arg(i, 4, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(small) != small.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        smallPaths.append(path);
    }

    // Over 1 GiB: the headers, then a 'movi' list running to the end of a sparse file.
    const qint64 bigSize = (qint64(1) << 30) + (qint64(1) << 28);
    const QByteArray hdrl = headerList(33000);
    const QByteArray bigHead = "RIFF" + le32(quint32(bigSize - 8)) + "AVI " + hdrl + "LIST"
        + le32(quint32(bigSize - 12 - hdrl.size() - 8)) + "movi";
    const QString bigPath = dir.filePath(QStringLiteral("big.avi"));
    {
        QFile file(bigPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bigHead) != bigHead.size() || !file.resize(bigSize)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(bigPath));
            return 1;
        }
    }

    // Warm the cache, then measure.
    microsecondsPerProbe(smallPaths, 1);
    microsecondsPerProbe({bigPath}, 100);
    const double smallTime = microsecondsPerProbe(smallPaths, 5);
    const double bigTime = microsecondsPerProbe(QStringList(1000, bigPath), 5);

    std::printf("small files: %d x %lld bytes, %.1f us per probe\n", int(smallPaths.size()),
                qlonglong(small.size()), smallTime);
    std::printf("big file:    %lld bytes, %.1f us per probe\n", qlonglong(bigSize), bigTime);
    std::printf("ratio big/small: %.2f (target within 2.00; under 1000 us per probe)\n", bigTime / smallTime);

    QDir(dir.path()).mkdir(QStringLiteral("mxf"));
    QDir(dir.path()).mkdir(QStringLiteral("avi"));
    containerLine(dir.path());
    hostileLine(dir.path(), smallTime);
    return 0;
}
