#pragma once

#include "sequencewriter.h"

namespace lintaro {

// An MLT XML project as melt, Shotcut and Kdenlive open it: a profile at the
// sequence rate (the first clip's), one producer per distinct clip, a playlist
// of the rows in order and a tractor playing it. MLT counts every clip in
// frames of the profile, so a clip at another rate is rounded to them.
class MltWriter : public SequenceWriter
{
public:
    // The frame size of the profile: the clips' own size is not known here.
    static constexpr int kWidth = 1920;
    static constexpr int kHeight = 1080;

    QByteArray render(const SequenceFile &file) const override;
};

} // namespace lintaro
