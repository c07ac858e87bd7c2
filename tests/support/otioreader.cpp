#include "otioreader.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

namespace lintaro::test {

namespace {

const char *const kScript = R"(
import json, sys
from fractions import Fraction
import opentimelineio as otio
path, rate = sys.argv[1], sys.argv[2]
try:
    if rate:
        t = otio.adapters.read_from_file(path, adapter_name="cmx_3600", rate=float(Fraction(rate)))
    else:
        t = otio.adapters.read_from_file(path, adapter_name="fcp_xml")
except Exception as e:
    print(json.dumps({"error": "%s: %s" % (type(e).__name__, e)}))
    sys.exit(0)
tracks = []
for track in t.tracks:
    clips = []
    for c in track.find_clips():
        r = c.source_range
        clips.append({"name": c.name, "in": round(r.start_time.value), "duration": round(r.duration.value),
                      "position": c.range_in_parent().start_time.to_seconds(),
                      "rate": r.duration.rate, "url": getattr(c.media_reference, "target_url", None)})
    tracks.append({"kind": str(track.kind), "clips": clips})
# The EDL reader starts a track at minus its first record time.
first = t.tracks[0].source_range if len(t.tracks) else None
start = round(-first.start_time.value) if first is not None else None
print(json.dumps({"name": t.name, "tracks": tracks, "recordStart": start}))
)";

} // namespace

OtioReader::OtioReader()
{
    const QString archive = qEnvironmentVariable("LINTARO_OTIO_ARCHIVE");
    m_python = QStringLiteral("/usr/bin/python3");
    if (archive.isEmpty() || !QFileInfo::exists(archive)) {
        m_reason = QStringLiteral("no OpenTimelineIO archive (../shared/tools/otio)");
        return;
    }
    if (!QFileInfo::exists(m_python)) {
        m_reason = QStringLiteral("no /usr/bin/python3");
        return;
    }
    const QString build = qEnvironmentVariable("LINTARO_BIN") + QStringLiteral("/..");
    m_root = QDir::cleanPath(build + QStringLiteral("/otio/otio"));
    if (!QFileInfo::exists(m_root + QStringLiteral("/opentimelineio"))) {
        // Unpacked beside and moved in whole, so a half unpacked tree is never used.
        const QString staging = QDir::cleanPath(build + QStringLiteral("/otio.unpacking"));
        QDir(staging).removeRecursively();
        QDir().mkpath(staging);
        QDir().mkpath(QDir::cleanPath(build + QStringLiteral("/otio")));
        if (QProcess::execute(
                QStringLiteral("tar"), { QStringLiteral("-C"), staging, QStringLiteral("-xJf"), archive })
                != 0
            || !QDir().rename(staging + QStringLiteral("/otio"), m_root)) {
            QDir(staging).removeRecursively();
            if (!QFileInfo::exists(m_root + QStringLiteral("/opentimelineio")))
                m_reason = QStringLiteral("the OpenTimelineIO archive did not unpack");
            return;
        }
        QDir(staging).removeRecursively();
    }
}

QJsonObject OtioReader::read(const QString &path, const QString &rate) const
{
    const QString edl = m_root + QStringLiteral("/adapters/otio-cmx3600-adapter/src");
    const QString xml = m_root + QStringLiteral("/adapters/otio-fcp-adapter/src");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONPATH"), m_root + u':' + edl + u':' + xml);
    environment.insert(QStringLiteral("OTIO_PLUGIN_MANIFEST_PATH"),
        edl + QStringLiteral("/otio_cmx3600_adapter/plugin_manifest.json:") + xml
            + QStringLiteral("/otio_fcp_adapter/plugin_manifest.json"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(m_python, { QStringLiteral("-c"), QString::fromUtf8(kScript), path, rate });
    if (!process.waitForFinished(120000))
        return { { QStringLiteral("error"), QStringLiteral("python3 did not finish") } };
    const QJsonDocument document = QJsonDocument::fromJson(process.readAllStandardOutput());
    if (!document.isObject())
        return { { QStringLiteral("error"), QString::fromUtf8(process.readAllStandardError()) } };
    return document.object();
}

} // namespace lintaro::test
