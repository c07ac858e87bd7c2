#pragma once

#include "mediafacts.h"

#include <QString>

namespace lintaro {

// A clip's or a sequence's frame rate as editing stations write it: an integer
// timebase with an NTSC flag (29.97 is timebase 30, NTSC), and the exact rate
// behind it for converting lengths between rates.
class EditRate
{
public:
    EditRate() = default;
    explicit EditRate(qint64 hundredths)
        : m_hundredths(hundredths)
    { }
    static EditRate of(const MediaFacts &facts);

    qint64 hundredths() const { return m_hundredths; }
    // 29.97, 23.976 and 59.94 frames a second.
    bool isNtsc() const;
    // The NTSC rates rounded up, any other rate to the nearest integer, a half up.
    int timebase() const;
    // 29.97 and 59.94 count their timecode in drop-frame.
    bool isDropFrame() const;

    // A rate SMPTE timecode counts: 23.976, 24, 25, 29.97, 30, 48, 50, 59.94, 60.
    bool hasTimecode() const;
    // How many frames of the lowest whole multiple of the rate make one of its
    // frames: 2 for 12.5 (whose multiple is 25); 1 for a whole or NTSC rate.
    qint64 wholeFactor() const;
    // That multiple as a rate: 25 for 12.5, the rate itself when whole or NTSC.
    EditRate wholeMultiple() const;

    // The exact rate as numerator ÷ denominator: 30000/1001 for 29.97, 25/2 for 12.5.
    qint64 numerator() const;
    qint64 denominator() const;

    friend bool operator==(const EditRate &, const EditRate &) = default;

private:
    qint64 m_hundredths = 2500;
};

// A length of frames at one rate in frames at another, to the nearest frame
// (a half up); the same rate maps frame for frame.
qint64 convertFrames(qint64 frames, const EditRate &from, const EditRate &to);

// "HH:MM:SS:FF" of a frame count at the rate; drop-frame rates write
// "HH:MM:SS;FF" with the frame numbers dropped at each minute but every tenth.
// Hours wrap at 24.
QString timecode(qint64 frame, const EditRate &rate);

// The frame count of a timecode at the rate (drop-frame for drop-frame rates).
qint64 timecodeFrames(int hours, int minutes, int seconds, int frames, const EditRate &rate);

} // namespace lintaro
