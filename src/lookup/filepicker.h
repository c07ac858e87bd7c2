#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lintaro {

class Interaction;

// The substitution dialog's open-file picker, shared with the resolver's
// prompt: a filter for the chosen clip types and a current file name that the
// picker opens on.
class FilePicker
{
public:
    // "Укажите файл "NAME "": the blank before the closing quote is part of it.
    static QString titleFor(const QString &name);

    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }

    // Opens the picker on the current file name, showing files of the given
    // clip types; the chosen file, or nothing on cancel. The caller makes an
    // accepted file the current file name. Without selectCurrent it opens in
    // that file's folder with no file chosen, so a hasty Enter picks nothing.
    std::optional<QString> pick(Interaction &interaction, const QString &title, const QStringList &types,
        bool selectCurrent = true) const;

private:
    QString m_fileName;
};

} // namespace lintaro
