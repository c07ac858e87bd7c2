#pragma once

#include "editrate.h"
#include "sequencewriter.h"

#include <optional>

namespace lintaro {

// A CMX 3600 edit decision list: one cut event per row, reel "AX", every
// timecode at the one rate of the list (the first clip's), record time from
// 01:00:00:00 (from 00:00:00:00 for a list of 23 hours or more). The TITLE is
// ASCII; the comments name each clip and its path in UTF-8, CR LF. A list that
// CMX 3600 cannot carry (no timecode at the rate, 24 hours or more, more than
// 999 events) throws Failure.
class EdlWriter : public SequenceWriter
{
public:
    QByteArray render(const SequenceFile &file) const override;
    EditRate timelineRate(const EditRate &first) const override;
    QString fileProblem(const SequenceFile &file) const override;

    // The rate itself when SMPTE timecode counts it, else the lowest of 24, 25,
    // 30, 48, 50 and 60 that is a whole multiple of it; nothing when none is.
    static std::optional<EditRate> listRate(const EditRate &first);

    // The name as ASCII: Cyrillic transliterated, any other character past
    // ASCII "_", at most 60 characters.
    static QString asciiTitle(const QString &name);
};

} // namespace lintaro
