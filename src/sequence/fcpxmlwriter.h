#pragma once

#include "sequencewriter.h"

namespace lintaro {

// A Final Cut Pro 7 interchange file (xmeml version 5): one sequence named
// after the output file, video track 1 with one clip item per row, and an
// audio track whose items are linked to the video items of clips with sound.
// Each distinct clip is one file element, referred to again by later items.
class FcpXmlWriter : public SequenceWriter
{
public:
    QByteArray render(const SequenceFile &file) const override;

    // A file:// URL of the path as given, percent-encoded UTF-8; a Windows
    // path's backslashes become slashes and a drive path goes after
    // "file://localhost/".
    static QString pathUrl(const QString &path);
};

} // namespace lintaro
