#pragma once

#include "mediafacts.h"

#include <QString>

#include <optional>

namespace lintaro {

class Interaction;
class ProbeCache;

// The one way in to the media probe: a name ending in ".avi", in any letter
// case, goes to our own AVI header reader, any other to the container reader
// (MXF, MOV, MP4, Matroska). The clip types chosen for the search play no part.
class MediaProbe
{
public:
    struct Result
    {
        std::optional<MediaFacts> facts;
        QString failure; // the text of its box; empty on success

        bool ok() const { return facts.has_value(); }
    };

    static bool isAvi(const QString &clipPath);

    static Result probe(const QString &clipPath, const QString &audioLocation);
};

// A failure's box names the file on a second line, so the operator knows
// which of a day's clips to look at.
QString boxText(const QString &text, const QString &clipPath);

// Probes a clip for the conversion run: a failure is shown in a box captioned
// "Error" with the stop icon, and nothing is returned. A run passes its
// cache, so that each clip is probed once.
std::optional<MediaFacts> probeClip(Interaction &interaction, const QString &clipPath,
                                    const QString &audioLocation, ProbeCache *probes = nullptr);

} // namespace lintaro
