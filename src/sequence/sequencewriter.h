#pragma once

#include "editrate.h"
#include "mediafacts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace lintaro {

// One row of a sequence: the clip's media facts and its path as the editing
// station sees it.
struct SequenceClip
{
    MediaFacts facts;
    QString path;
    // The source timecode of the clip's first frame, in its own frames; 0 for
    // a clip whose timecode starts at 00:00:00:00.
    qint64 sourceInFrame = 0;
};

// A probed clip as a row of a sequence: a clip whose container carries a
// start timecode begins its source there, counted as the writers count
// timecode at its rate, so the written source in reads as the container's.
SequenceClip sequenceClip(const MediaFacts &facts, const QString &path);

// One output file of a run: its name (without folder and extension) and its
// clips in row order.
struct SequenceFile
{
    QString name;
    QList<SequenceClip> clips;
};

// Renders one output file to the bytes that go to disk. Writers keep nothing
// between files; a path that the format cannot carry throws Failure.
class SequenceWriter
{
public:
    virtual ~SequenceWriter() = default;
    virtual QByteArray render(const SequenceFile &file) const = 0;

    // The rate of the timeline written for a first clip of this rate.
    virtual EditRate timelineRate(const EditRate &first) const { return first; }
    // Why the format cannot carry this clip path, or empty.
    virtual QString pathProblem(const QString &) const { return {}; }
    // Why the file cannot be written in the format (one of its limits), or
    // empty; render throws it as Failure, with the file's name.
    virtual QString fileProblem(const SequenceFile &) const { return {}; }
};

// A clip's length on a timeline: its own frames at the timeline's rate, to
// the nearest frame, a half up.
qint64 timelineLength(const MediaFacts &facts, const EditRate &timeline);

enum class SequenceFormat { Psq, FcpXml, Edl, Mlt, Kdenlive };

struct SequenceFormatInfo
{
    SequenceFormat format;
    QString key; // "psq", as --format and the stored LastFormat name it
    QString extension; // ".psq"
    QString filter; // the save dialog's filter text, "Description|pattern"
    QString name; // "EDL CMX 3600", as the window's notices name the format
};

// Every format, PSQ first, in the order the save dialog offers them.
const QList<SequenceFormatInfo> &sequenceFormats();
const SequenceFormatInfo &formatInfo(SequenceFormat format);
std::optional<SequenceFormat> formatFromKey(const QString &key);

std::unique_ptr<SequenceWriter> makeSequenceWriter(SequenceFormat format);

// The last part of a path, after the last "/" (or "\" in a Windows path).
QString clipFileName(const QString &path);

// A Windows path: a drive ("D:") or a UNC name ("\\server").
bool isWindowsPath(const QString &path);

} // namespace lintaro
