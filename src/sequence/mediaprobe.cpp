#include "mediaprobe.h"

#include "aviprobe.h"
#include "common/interaction.h"
#include "containerprobe.h"
#include "probecache.h"

#include <QDir>

namespace lintaro {

bool MediaProbe::isAvi(const QString &clipPath)
{
    return clipPath.endsWith(QStringLiteral(".avi"), Qt::CaseInsensitive);
}

MediaProbe::Result MediaProbe::probe(const QString &clipPath, const QString &audioLocation)
{
    if (isAvi(clipPath)) {
        const AviProbe::Result avi = AviProbe::probe(clipPath, audioLocation);
        return {avi.facts, avi.failure};
    }
    const ContainerProbe::Result container = ContainerProbe::probe(clipPath, audioLocation);
    return {container.facts, container.failure};
}

QString boxText(const QString &text, const QString &clipPath)
{
    return text + u'\n' + QDir::toNativeSeparators(clipPath);
}

std::optional<MediaFacts> probeClip(Interaction &interaction, const QString &clipPath,
                                    const QString &audioLocation, ProbeCache *probes)
{
    const MediaProbe::Result result
        = probes ? probes->probe(clipPath, audioLocation) : MediaProbe::probe(clipPath, audioLocation);
    if (!result.ok())
        interaction.message(QStringLiteral("Error"), boxText(result.failure, clipPath), MessageIcon::Error);
    return result.facts;
}

} // namespace lintaro
