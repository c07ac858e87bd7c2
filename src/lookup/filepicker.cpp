#include "filepicker.h"

#include "common/interaction.h"

namespace lintaro {

QString FilePicker::filterText()
{
    return QStringLiteral("Файлы Avi (*.avi)|*.AVI");
}

QString FilePicker::titleFor(const QString &name)
{
    return QStringLiteral("Укажите файл \"") + name + QStringLiteral(" \"");
}

std::optional<QString> FilePicker::pick(Interaction &interaction, const QString &title) const
{
    FileDialogRequest request;
    request.title = title;
    request.filters = parseFilterText(filterText());
    request.initialFile = m_fileName;
    return interaction.openFile(request);
}

} // namespace lintaro
