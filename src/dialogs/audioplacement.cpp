#include "audioplacement.h"

namespace lintaro {

namespace {

bool isDriveLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

QChar AudioPlacement::defaultDrive(const QString &workingFolder)
{
    if (workingFolder.size() >= 2 && workingFolder[1] == u':' && isDriveLetter(workingFolder[0]))
        return workingFolder[0].toLower();
    return u'c';
}

AudioPlacement AudioPlacement::defaults(const QString &workingFolder)
{
    AudioPlacement placement;
    placement.drive = defaultDrive(workingFolder);
    return placement;
}

QString AudioPlacement::toStored() const
{
    QString stored;
    stored += insideAvi ? u'1' : u'0';
    stored += separateWav ? u'1' : u'0';
    stored += nextToVideo ? u'1' : u'0';
    stored += onDrive ? u'1' : u'0';
    // A value without its fifth character could not be read back, so a missing
    // drive is stored as the usual system drive.
    stored += drive.isNull() ? QChar(u'c') : drive.toLower();
    return stored;
}

bool AudioPlacement::applyStored(const QString &stored)
{
    if (stored.isEmpty())
        return true;
    bool *const items[] = {&insideAvi, &separateWav, &nextToVideo, &onDrive};
    for (qsizetype i = 0; i < 4; ++i) {
        if (i >= stored.size())
            return false;
        *items[i] = stored[i] == u'1';
    }
    if (stored.size() < 5)
        return false;
    // Only a letter names a drive; anything else (a NUL written for "no drive")
    // leaves the drive in effect as it is.
    if (isDriveLetter(stored[4]))
        drive = stored[4].toLower();
    return true;
}

QString AudioPlacement::location() const
{
    if (!separateWav)
        return {};
    if (nextToVideo)
        return QStringLiteral(".");
    return drive.isNull() ? QString() : QString(drive);
}

QString audioLocationFromStored(const QString &stored, const QString &workingFolder)
{
    AudioPlacement placement = AudioPlacement::defaults(workingFolder);
    if (!placement.applyStored(stored))
        return AudioPlacement::defaults(workingFolder).location();
    return placement.location();
}

} // namespace lintaro
