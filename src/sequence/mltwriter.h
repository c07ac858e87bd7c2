#pragma once

#include "sequencewriter.h"

namespace lintaro {

// An MLT XML project as an editor of its own opens it on its timeline, and
// melt plays it: a profile in the first clip's size, aspect and rate, one
// producer per distinct clip, listed in the project bin (main_bin), and the
// rows in order on video track 1 over a black background.
// Shotcut: the tractor marked as its project, the track a playlist marked as
// video, so every clip plays its picture and sound there.
// Kdenlive 22.12: producers with a bin id, the document version in the bin,
// each track a tractor of two playlists; the sound of clips with sound lies on
// audio track 1 under them.
// MLT counts every clip in frames of the profile, so a clip at another rate is
// rounded to them.
class MltWriter : public SequenceWriter
{
public:
    enum class Editor { Shotcut, Kdenlive };

    explicit MltWriter(Editor editor = Editor::Shotcut)
        : m_editor(editor)
    { }

    QByteArray render(const SequenceFile &file) const override;

private:
    Editor m_editor;
};

} // namespace lintaro
