#include "filepicker.h"

#include "common/interaction.h"
#include "lookup/cliptypes.h"

namespace lintaro {

QString FilePicker::titleFor(const QString &name)
{
    return QStringLiteral("Укажите файл \"") + name + QStringLiteral(" \"");
}

std::optional<QString> FilePicker::pick(Interaction &interaction, const QString &title,
                                        const QStringList &types) const
{
    FileDialogRequest request;
    request.title = title;
    request.filters = parseFilterText(cliptypes::filterText(types));
    request.initialFile = m_fileName;
    return interaction.openFile(request);
}

} // namespace lintaro
