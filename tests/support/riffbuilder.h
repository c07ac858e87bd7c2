#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace lintaro::test {

// Builds RIFF/AVI bytes for the odd layouts real files have. Identifiers are
// four characters.
namespace riff {

QByteArray le32(quint32 value);

// A chunk: id, size, data, and a pad byte when the size is odd.
QByteArray chunk(const char *id, const QByteArray &data);
// A chunk whose size field says something else than the data it carries.
QByteArray chunkWithSize(const char *id, quint32 declaredSize, const QByteArray &data);
QByteArray list(const char *type, const QByteArray &children);
QByteArray riff(const char *form, const QByteArray &children);

// 'avih' with the fields the probe reads; the rest zero. bytes cuts the record.
QByteArray mainHeader(quint32 microSecPerFrame, quint32 streams, quint32 totalFrames = 0, int bytes = 56);
// 'strh' of the given type; bytes cuts the record (56 in full).
QByteArray streamHeader(const char *type, quint32 scale, quint32 rate, quint32 length, int bytes = 56);
// A 'strl' list: the stream header, a dummy format and extras.
QByteArray streamList(const QByteArray &header, const QByteArray &extras = {});
// An 'odml' list with a 'dmlh' of the given total frames.
QByteArray odmlList(quint32 totalFrames);

struct Stream
{
    const char *type = "vids";
    quint32 scale = 1;
    quint32 rate = 25;
    quint32 length = 250;
};

// A plain AVI: hdrl with avih and one strl per stream, then a small movi and idx1.
QByteArray simpleAvi(const QList<Stream> &streams, quint32 microSecPerFrame = 40000);

} // namespace riff
} // namespace lintaro::test
