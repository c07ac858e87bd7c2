#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace lintaro {

// What the sequence file needs to know about one clip.
struct MediaFacts
{
    quint32 frameCount = 0; // length of the first video stream, in frames
    qint32 sampleStep = 1;  // 1, 10 or 100: the power of ten that makes the rate whole
    qint32 scaledRate = 0;  // frame rate × sample step
    qint32 mediaType = 1;   // 3 with sound, 1 without
    // The start timecode as the container writes it ("10:00:00:00", ";" before
    // the frames for drop-frame); empty when the container carries none.
    QString startTimecode = {};
    // Picture and sound as the container tells them; 0 where it does not.
    qint32 width = 0;
    qint32 height = 0;
    qint32 sarNum = 0; // sample aspect ratio; 0:0 when not given (square)
    qint32 sarDen = 0;
    qint32 audioChannels = 0; // over all audio streams (or the WAV companion)
    qint32 sampleRate = 0;    // Hz
    qint32 bitDepth = 0;      // PCM only

    friend bool operator==(const MediaFacts &, const MediaFacts &) = default;
};

// The frame number a start timecode names at the clip's rate, counted from
// 00:00:00:00 (drop-frame timecode skips its dropped numbers). Nothing when
// the clip has no timecode or the text is not HH:MM:SS:FF within the rate.
std::optional<qint64> timecodeFrame(const MediaFacts &facts);

// The frame rate in the whole-number form of the sequence time base.
struct IntegerRate
{
    qint64 hundredths = 0; // rate × 100, an exact half rounded up
    qint32 sampleStep = 1;
    qint32 scaledRate = 0;

    friend bool operator==(const IntegerRate &, const IntegerRate &) = default;
};

// Nothing when the rate has no whole-number form the time base can carry:
// not a positive finite number, under 0.005 fps, or a scaled rate past 32 bits.
std::optional<IntegerRate> integerRate(double framesPerSecond);

// The sequence time base of a clip, as its CLIP entry writes it.
struct TimeBase
{
    quint32 marker = 0; // position of the last frame
    quint32 value = 0;  // duration
    qint32 scale = 0;
    qint32 sample = 0;
};

// 100 for a 25 fps clip, whose time base counts hundredths; 1 otherwise.
qint32 palFactor(const MediaFacts &facts);

// Marker and value in 32-bit unsigned arithmetic; an empty clip gets the marker
// 0 rather than a value wrapped round from -1.
TimeBase timeBase(const MediaFacts &facts);

// False when the duration in time-base units does not fit in 32 bits, so the
// written value would wrap round.
bool durationFits(const MediaFacts &facts);

} // namespace lintaro
