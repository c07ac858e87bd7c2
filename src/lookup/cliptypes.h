#pragma once

#include <QString>
#include <QStringList>

namespace lintaro {

class SettingsStore;

// The ordered list of clip file types the bracket search tries, as extensions
// without their dot in lower case ("avi", "mxf"). Stored as "ClipTypes", the
// types joined by ";"; absent, empty or unreadable it is "avi" alone, which
// keeps every search as it always was.
namespace cliptypes {

inline const QString kSettingName = QStringLiteral("ClipTypes");

// The types the probe reads on every platform, in the order the window shows them.
QStringList known();
QStringList defaults();

// The type for an extension as given ("MXF", ".mov"): lower case, without a
// dot; empty when it is not one of the known types.
QString normalized(const QString &extension);

// Known types only, each once, in the order given; the defaults when none is left.
QStringList cleaned(const QStringList &types);

QStringList fromStored(const QString &text);
QString toStored(const QStringList &types);

// The stored list, read at this moment. Throws what the store throws.
QStringList read(const SettingsStore &settings);

// The file picker's filter: "Файлы Avi (*.avi)|*.AVI" for avi alone,
// otherwise "Видеофайлы (*.avi *.mxf)|*.avi;*.mxf" with the chosen types.
QString filterText(const QStringList &types);

} // namespace cliptypes

} // namespace lintaro
