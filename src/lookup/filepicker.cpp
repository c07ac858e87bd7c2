#include "filepicker.h"

#include "common/interaction.h"
#include "lookup/cliptypes.h"

#include <QFileInfo>

namespace lintaro {

QString FilePicker::titleFor(const QString &name)
{
    return QStringLiteral("Укажите файл \"") + name + QStringLiteral(" \"");
}

std::optional<QString> FilePicker::pick(
    Interaction &interaction, const QString &title, const QStringList &types, bool selectCurrent) const
{
    FileDialogRequest request;
    request.title = title;
    request.filters = parseFilterText(cliptypes::filterText(types));
    request.initialFile = m_fileName;
    if (!selectCurrent && !m_fileName.isEmpty())
        request.initialFile = QFileInfo(m_fileName).path() + u'/';
    return interaction.openFile(request);
}

} // namespace lintaro
