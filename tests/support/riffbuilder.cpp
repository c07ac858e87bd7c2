#include "riffbuilder.h"

#include <cstring>

namespace lintaro::test::riff {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

static QByteArray id4(const char *id)
{
    return QByteArray(id, 4);
}

QByteArray chunkWithSize(const char *id, quint32 declaredSize, const QByteArray &data)
{
    QByteArray bytes = id4(id) + le32(declaredSize) + data;
    if (data.size() % 2)
        bytes.append('\0');
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &data)
{
    return chunkWithSize(id, quint32(data.size()), data);
}

QByteArray list(const char *type, const QByteArray &children)
{
    return chunk("LIST", id4(type) + children);
}

QByteArray riff(const char *form, const QByteArray &children)
{
    return chunk("RIFF", id4(form) + children);
}

QByteArray mainHeader(quint32 microSecPerFrame, quint32 streams, quint32 totalFrames, int bytes)
{
    QByteArray record(56, '\0');
    record.replace(0, 4, le32(microSecPerFrame));
    record.replace(16, 4, le32(totalFrames));
    record.replace(24, 4, le32(streams));
    record.replace(32, 4, le32(16)); // width
    record.replace(36, 4, le32(16)); // height
    return chunk("avih", record.left(bytes));
}

QByteArray streamHeader(const char *type, quint32 scale, quint32 rate, quint32 length, int bytes)
{
    QByteArray record(56, '\0');
    record.replace(0, 4, id4(type));
    record.replace(4, 4, QByteArray("xvid"));
    record.replace(20, 4, le32(scale));
    record.replace(24, 4, le32(rate));
    record.replace(32, 4, le32(length));
    return chunk("strh", record.left(bytes));
}

QByteArray streamList(const QByteArray &header, const QByteArray &extras)
{
    return list("strl", header + chunk("strf", QByteArray(40, '\x01')) + extras);
}

QByteArray odmlList(quint32 totalFrames)
{
    return list("odml", chunk("dmlh", le32(totalFrames) + QByteArray(244, '\0')));
}

QByteArray simpleAvi(const QList<Stream> &streams, quint32 microSecPerFrame)
{
    QByteArray lists;
    for (const Stream &stream : streams)
        lists += streamList(streamHeader(stream.type, stream.scale, stream.rate, stream.length));
    const QByteArray hdrl = list("hdrl", mainHeader(microSecPerFrame, quint32(streams.size())) + lists);
    const QByteArray movi = list("movi", chunk("00dc", QByteArray(100, '\x7f')));
    return riff("AVI ", hdrl + movi + chunk("idx1", QByteArray(16, '\0')));
}

} // namespace lintaro::test::riff
