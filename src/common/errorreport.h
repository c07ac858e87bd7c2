#pragma once

#include <QString>

#include <functional>

namespace lintaro {

class Interaction;

// The one place where an error that a command does not handle itself ends up:
// a box captioned "Lintaro" with the stop icon. The command ends; the program goes on.
class ErrorReport
{
public:
    explicit ErrorReport(Interaction &interaction) : m_interaction(interaction) {}

    // A final "." is added when the text's last character sorts after ".".
    static QString withFinalDot(const QString &text);

    void show(const QString &text) const;

    // Runs a command; a Failure or any other exception it throws is shown here.
    // Returns false when the command ended with an error.
    bool guard(const std::function<void()> &command) const;

private:
    Interaction &m_interaction;
};

} // namespace lintaro
