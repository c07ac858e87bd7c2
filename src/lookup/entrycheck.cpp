#include "entrycheck.h"

#include "common/cp1251.h"

namespace lintaro::entrycheck {

QString caption()
{
    return QStringLiteral("Недопустимый текст");
}

QString lineRefusal(QStringView text)
{
    if (!cp1251::canEncode(text))
        return cp1251::unencodableMessage(text);
    for (const QChar ch : text) {
        if (ch == u'\r' || ch == u'\n' || ch == u'\0')
            return QStringLiteral("Текст \"%1\" содержит перевод строки или символ с кодом 0: "
                                  "такой текст нельзя сохранить в файле настроек")
                .arg(text.toString().replace(u'\0', u' '));
    }
    return {};
}

} // namespace lintaro::entrycheck
