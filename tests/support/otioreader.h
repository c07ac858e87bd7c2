#pragma once

#include <QJsonObject>
#include <QString>

namespace lintaro::test {

// OpenTimelineIO's own readers of CMX 3600 EDL and Final Cut Pro 7 XML, run
// through python3 from the archive beside the checkout (unpacked once into
// the build folder). Without the archive or python3, available() is false and
// reason() says why.
class OtioReader
{
public:
    OtioReader();
    bool available() const { return m_reason.isEmpty(); }
    const QString &reason() const { return m_reason; }

    // The timeline as JSON: {"name", "tracks": [{"kind", "clips": [{"name",
    // "in", "duration", "position", "rate", "url"}]}]}, or {"error": text}
    // when the reader refuses the file. rate: the EDL's list rate as
    // "30000/1001"; empty for XML.
    QJsonObject read(const QString &path, const QString &rate) const;

private:
    QString m_python;
    QString m_root;
    QString m_reason;
};

} // namespace lintaro::test
