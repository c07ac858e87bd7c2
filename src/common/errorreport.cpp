#include "errorreport.h"

#include "failure.h"
#include "interaction.h"

#include <exception>
#include <new>

namespace lintaro {

QString ErrorReport::withFinalDot(const QString &text)
{
    if (!text.isEmpty() && text.back() > u'.')
        return text + u'.';
    return text;
}

void ErrorReport::show(const QString &text) const
{
    m_interaction.message(QStringLiteral("Lintaro"), withFinalDot(text), MessageIcon::Error);
}

bool ErrorReport::guard(const std::function<void()> &command) const
{
    try {
        command();
        return true;
    } catch (const Failure &failure) {
        show(failure.message());
    } catch (const std::bad_alloc &) {
        show(QStringLiteral("Out of memory"));
    } catch (const std::exception &error) {
        show(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace lintaro
