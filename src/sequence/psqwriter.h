#pragma once

#include "mediafacts.h"
#include "sequencewriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lintaro {

// Builds the text of one sequence file (".psq") for the video editor: the head,
// then the SQID, CLIP, CLPA and FILE entries of all clips, grouped by kind.
// Clips are numbered from 1 in every file.
class PsqWriter : public SequenceWriter
{
public:
    // A new file text: the head entry, no clips.
    PsqWriter() = default;

    // Appends the clip's four entries; its number is the count of clips before it plus one.
    void appendClip(const MediaFacts &facts, const QString &clipPath);

    int clipCount() const { return m_clipCount; }

    // The completed file text: one string per entry, the lines of an entry
    // joined by CR LF.
    QStringList entries() const;

    // Every line of the file, in order.
    QStringList lines() const;

    // The file's bytes: Windows-1251, CR LF after every line, the last included.
    // Throws Failure naming the character when a clip path holds one that
    // Windows-1251 cannot carry.
    QByteArray toBytes() const;

    // Encodes first, then replaces the file as a whole, so nothing is written
    // when the text cannot be encoded. Throws Failure("Cannot create file <path>")
    // or Failure("Stream write error") when the file cannot be written.
    void writeFile(const QString &path) const;

    // The bytes of a file of these clips; the source timecode has no place here.
    QByteArray render(const SequenceFile &file) const override;
    // A character Windows-1251 cannot carry.
    QString pathProblem(const QString &path) const override;

    // Every backslash doubled, nothing else changed.
    static QString escapePath(const QString &path);

    static QString headEntry();
    static QString sqidEntry(int clip);
    static QString clipEntry(int clip, const MediaFacts &facts);
    static QString clpaEntry(int clip);
    static QString fileEntry(int clip, const MediaFacts &facts, const QString &clipPath);

private:
    int m_clipCount = 0;
    QStringList m_sqid;
    QStringList m_clip;
    QStringList m_clpa;
    QStringList m_file;
    QStringList m_paths;
};

} // namespace lintaro
