#pragma once

#include <QString>

#include <exception>

namespace lintaro {

// An error that ends the command at hand and reaches the general error report,
// like a file that cannot be opened or a stored number that is not a number.
class Failure : public std::exception
{
public:
    explicit Failure(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    {
    }

    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace lintaro
