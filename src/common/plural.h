#pragma once

#include <QString>

namespace lintaro {

// The number and the noun in the form Russian gives it after that number:
// 1 файл, 2 файла, 5 файлов, 11 файлов, 21 файл.
QString countOf(qint64 count, const QString &one, const QString &few, const QString &many);

} // namespace lintaro
