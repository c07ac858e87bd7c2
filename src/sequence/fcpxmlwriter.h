#pragma once

#include "sequencewriter.h"

namespace lintaro {

// A Final Cut Pro 7 interchange file (xmeml version 5) laid out as Premiere
// Pro writes one: a sequence named after the output file in the first clip's
// size, aspect and rate, video track 1 with one clip item per row, and for
// the clips with sound one item per channel on linked audio tracks 1, 2...
// Each distinct clip is one file element, referred to again by later items.
// A rate that is neither whole nor NTSC is written at its lowest whole
// multiple (12.5 as 25), every length in that rate's frames.
class FcpXmlWriter : public SequenceWriter
{
public:
    QByteArray render(const SequenceFile &file) const override;
    // The lowest whole multiple: 12.5 as 25.
    EditRate timelineRate(const EditRate &first) const override { return first.wholeMultiple(); }

    // A file:// URL of the path as given, percent-encoded UTF-8; a Windows
    // path's backslashes become slashes and a drive path goes after
    // "file://localhost/".
    static QString pathUrl(const QString &path);

    // The pixel aspect ratio as the format names it: "square" unless the
    // size and sample aspect are one of the standard non-square pictures.
    static QString pixelAspect(const MediaFacts &facts, bool *anamorphic = nullptr);
};

} // namespace lintaro
