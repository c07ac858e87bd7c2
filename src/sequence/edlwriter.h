#pragma once

#include "sequencewriter.h"

namespace lintaro {

// A CMX 3600 edit decision list: one cut event per row, reel "AX", source
// timecode from the clip's own start at its own rate, record timecode from
// 01:00:00:00 at the sequence rate (the first clip's). UTF-8, CR LF.
class EdlWriter : public SequenceWriter
{
public:
    QByteArray render(const SequenceFile &file) const override;
};

} // namespace lintaro
