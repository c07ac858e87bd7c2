#include "edlwriter.h"

#include "common/failure.h"

#include <QStringList>

namespace lintaro {

namespace {

constexpr int kMaxEvents = 999;
constexpr qsizetype kMaxTitle = 60;

// Any line break, Unicode's included, would start a new line of the list for
// some reader; control characters have no place in it either.
QString oneLine(QString text)
{
    for (QChar &ch : text) {
        const char16_t code = ch.unicode();
        if (code < 32 || code == 0x7f || code == 0x85 || code == 0x2028 || code == 0x2029)
            ch = u' ';
    }
    return text;
}

// Russian letters А to Я in Latin, lower case; Ё apart.
const char *const kLatin[32] = { "a", "b", "v", "g", "d", "e", "zh", "z", "i", "i", "k", "l", "m", "n", "o",
    "p", "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "", "y", "", "e", "iu", "ia" };

// The Latin letters of one Cyrillic letter, lower case; nothing for another character.
const char *latinOf(QChar ch)
{
    const char16_t code = ch.unicode();
    if (code >= 0x410 && code <= 0x42f)
        return kLatin[code - 0x410];
    if (code >= 0x430 && code <= 0x44f)
        return kLatin[code - 0x430];
    if (code == 0x401 || code == 0x451)
        return "e";
    return nullptr;
}

bool isCapital(const QString &text, qsizetype i)
{
    return i >= 0 && i < text.size() && text[i].isUpper();
}

QString rateText(const EditRate &rate)
{
    return QString::number(double(rate.hundredths()) / 100, 'g', 8);
}

// Where a clip's source starts at the list rate. A whole multiple of the
// clip's rate counts its frames exactly; any other rate keeps the timecode's
// time of day (10:00:00;00 at 29.97 is 10:00:00:00 at 25).
qint64 sourceInAt(const SequenceClip &clip, const EditRate &clipRate, const EditRate &list)
{
    if (clipRate == list || clip.sourceInFrame == 0)
        return clip.sourceInFrame;
    if ((list.numerator() * clipRate.denominator()) % (list.denominator() * clipRate.numerator()) == 0)
        return convertFrames(clip.sourceInFrame, clipRate, list);
    const QString text = timecode(clip.sourceInFrame, clipRate);
    const int frames = text.mid(9, 2).toInt();
    return timecodeFrames(text.mid(0, 2).toInt(), text.mid(3, 2).toInt(), text.mid(6, 2).toInt(), 0, list)
        + qint64(frames) * list.timebase() / clipRate.timebase();
}

} // namespace

std::optional<EditRate> EdlWriter::listRate(const EditRate &first)
{
    if (first.hasTimecode())
        return first;
    for (const qint64 candidate : { 24, 25, 30, 48, 50, 60 }) {
        // candidate ÷ rate is whole.
        if ((candidate * first.denominator()) % first.numerator() == 0)
            return EditRate(candidate * 100);
    }
    return std::nullopt;
}

QString EdlWriter::asciiTitle(const QString &name)
{
    QString ascii;
    for (qsizetype i = 0; i < name.size() && ascii.size() < kMaxTitle; ++i) {
        const QChar ch = name[i];
        if (const char *latin = latinOf(ch)) {
            QString letters = QString::fromLatin1(latin);
            if (ch.isUpper() && !letters.isEmpty()) {
                // A digraph is all capitals only beside another capital: Жук → Zhuk, ЖУК → ZHUK.
                if (isCapital(name, i - 1) || isCapital(name, i + 1))
                    letters = letters.toUpper();
                else
                    letters[0] = letters[0].toUpper();
            }
            ascii += letters;
        } else {
            ascii += ch.unicode() < 128 ? ch : QChar(u'_');
        }
    }
    return oneLine(ascii.left(kMaxTitle));
}

EditRate EdlWriter::timelineRate(const EditRate &first) const
{
    return listRate(first).value_or(first);
}

QString EdlWriter::fileProblem(const SequenceFile &file) const
{
    if (file.clips.isEmpty())
        return {};
    const EditRate first = EditRate::of(file.clips.constFirst().facts);
    const std::optional<EditRate> rate = listRate(first);
    if (!rate)
        return QStringLiteral("EDL не поддерживает частоту ") + rateText(first) + QStringLiteral(" кадр/с");
    if (file.clips.size() > kMaxEvents)
        return QStringLiteral("В EDL больше 999 событий");
    qint64 total = 0;
    for (const SequenceClip &clip : file.clips)
        total += timelineLength(clip.facts, *rate);
    // Record time wraps at 24:00:00:00.
    if (total >= timecodeFrames(24, 0, 0, 0, *rate))
        return QStringLiteral("EDL длиннее 24 часов");
    return {};
}

QByteArray EdlWriter::render(const SequenceFile &file) const
{
    if (const QString problem = fileProblem(file); !problem.isEmpty())
        throw Failure(problem + QStringLiteral(": ") + file.name + QStringLiteral(".edl"));
    const EditRate rate
        = file.clips.isEmpty() ? EditRate() : timelineRate(EditRate::of(file.clips.constFirst().facts));
    QList<qint64> lengths;
    qint64 total = 0;
    for (const SequenceClip &clip : file.clips) {
        lengths.append(timelineLength(clip.facts, rate));
        total += lengths.back();
    }

    QString text;
    text += QStringLiteral("TITLE: ") + asciiTitle(file.name) + QStringLiteral("\r\n");
    text += rate.isDropFrame() ? QStringLiteral("FCM: DROP FRAME\r\n\r\n")
                               : QStringLiteral("FCM: NON-DROP FRAME\r\n\r\n");
    qint64 record = total >= timecodeFrames(23, 0, 0, 0, rate) ? 0 : timecodeFrames(1, 0, 0, 0, rate);
    for (qsizetype i = 0; i < file.clips.size(); ++i) {
        const SequenceClip &clip = file.clips[i];
        const qint64 sourceIn = sourceInAt(clip, EditRate::of(clip.facts), rate);
        QString channels = QStringLiteral("V    ");
        if (clip.facts.mediaType == 3)
            channels = clip.facts.audioChannels == 1 ? QStringLiteral("B    ") : QStringLiteral("AA/V ");
        text += QStringLiteral("%1  AX       ").arg(i + 1, 3, 10, QLatin1Char('0')) + channels
            + QStringLiteral("C        ") + timecode(sourceIn, rate) + u' '
            + timecode(sourceIn + lengths[i], rate) + u' ' + timecode(record, rate) + u' '
            + timecode(record + lengths[i], rate) + QStringLiteral("\r\n");
        const QString path = oneLine(clip.path);
        // Premiere and Resolve take the name, OpenTimelineIO the media from
        // FROM FILE, Resolve from SOURCE FILE.
        text += QStringLiteral("* FROM CLIP NAME: ") + oneLine(clipFileName(clip.path))
            + QStringLiteral("\r\n");
        text += QStringLiteral("* FROM FILE: ") + path + QStringLiteral("\r\n");
        text += QStringLiteral("* SOURCE FILE: ") + path + QStringLiteral("\r\n");
        record += lengths[i];
    }
    return text.toUtf8();
}

} // namespace lintaro
