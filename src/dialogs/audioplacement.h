#pragma once

#include <QChar>
#include <QString>

namespace lintaro {

// Where the sound of the clips lies: the five items of the audio placement
// dialog. Items 1/2 and 3/4 are two independent exclusive pairs.
struct AudioPlacement
{
    bool insideAvi = true;     // item 1: sound inside the AVI
    bool separateWav = false;  // item 2: sound in a separate WAV file
    bool nextToVideo = true;   // item 3: the WAV beside the video
    bool onDrive = false;      // item 4: the WAV at the same path on another drive
    QChar drive;               // item 5: lower-case drive letter; null when none

    // The defaults in force from start-up: items 1 and 3, the drive of the
    // working folder (defaultDrive).
    static AudioPlacement defaults(const QString &workingFolder);

    // The drive letter of a folder ("D:\Clips" gives 'd'); 'c', the usual system
    // drive, for a folder without one, so that a drive is always in effect.
    static QChar defaultDrive(const QString &workingFolder);

    // The stored form "Audio": four flags "1"/"0" for items 1 to 4, then the
    // drive letter in lower case (1010c).
    QString toStored() const;

    // Applies a stored value over this placement, in order: items 1 to 4 ("1"
    // chosen, anything else not), then the drive from character 5 (a letter;
    // any other character leaves the drive as it is). Characters
    // after the fifth are ignored; an empty value changes nothing. A value of one
    // to four characters applies the characters present and returns false: the
    // caller reports "Range check error".
    bool applyStored(const QString &stored);

    // The text handed to the media probe: empty (sound inside the AVI), "." (a WAV
    // beside the video) or the drive letter (a WAV at the same path on that drive).
    QString location() const;
};

// The message for a stored value cut short.
inline QString rangeCheckError()
{
    return QStringLiteral("Range check error");
}

// The audio location from a stored "Audio" value, for the command-line tool:
// the defaults with the stored value applied; the defaults alone when the value
// is absent or cut short.
QString audioLocationFromStored(const QString &stored, const QString &workingFolder);

} // namespace lintaro
