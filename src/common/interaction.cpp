#include "interaction.h"

namespace lintaro {

QList<FileFilter> parseFilterText(const QString &filterText)
{
    const QStringList parts = filterText.split(u'|');
    QList<FileFilter> filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append({parts[i], parts[i + 1]});
    return filters;
}

std::optional<SaveChoice> Interaction::saveFileChoice(const FileDialogRequest &request)
{
    const std::optional<QString> path = saveFile(request);
    if (!path)
        return std::nullopt;
    return SaveChoice{*path, request.selectedFilter};
}

std::optional<int> Interaction::chooseItem(const ChoiceRequest &)
{
    return std::nullopt;
}

} // namespace lintaro
