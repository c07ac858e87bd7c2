#include "clicommands.h"
#include "cliinteraction.h"
#include "sequence/mediaprobe.h"

namespace lintaro::cli {

namespace {

const char kProbeHelp[]
    = "Использование: lintaro-cli probe [--audio МЕСТО] ФАЙЛ...\n"
      "\n"
      "Читает заголовки видеофайлов (AVI, MXF, MOV, MP4, MKV) и печатает для\n"
      "каждого одну строку:\n"
      "ФАЙЛ<TAB>frames=КАДРЫ<TAB>step=ШАГ<TAB>rate=ЧАСТОТА<TAB>media=ТИП[<TAB>timecode=ТАЙМКОД]\n"
      "[<TAB>size=ШИРИНАxВЫСОТА][<TAB>sar=Ш:В][<TAB>audio=КАНАЛЫxЧАСТОТА[xБИТЫ]]\n"
      "  frames  длина видео в кадрах;\n"
      "  step    1, 10 или 100: во столько раз умножена частота кадров, чтобы стать целой;\n"
      "  rate    частота кадров, умноженная на step (25 при 25 кадрах/с, 2997 при 29,97);\n"
      "  media   3, если у ролика есть звук, 1, если нет;\n"
      "  timecode  начальный таймкод, как он записан в файле (\";\" перед кадрами\n"
      "          при drop-frame); выводится, только если файл его содержит;\n"
      "  size    размер кадра в пикселях;\n"
      "  sar     форма пикселя (1:1 - квадратный), если файл её указывает;\n"
      "  audio   число каналов всех звуковых потоков (или WAV-файла), частота\n"
      "          дискретизации в Гц и, для PCM, разрядность: 2x48000x16.\n"
      "Поля, которых файл не сообщает, не выводятся; читайте поля по именам.\n"
      "\n"
      "  --audio МЕСТО  где лежит звук роликов:\n"
      "                 пусто (по умолчанию) - внутри видеофайла;\n"
      "                 .  - в WAV-файле рядом с видео (то же имя, расширение wav);\n"
      "                 буква диска - в WAV-файле по тому же пути на этом диске.\n"
      "  -h, --help     эта справка.\n"
      "\n"
      "Если файл прочитать не удалось, его имя и причина выводятся в поток ошибок.\n"
      "Код выхода: 0 - все файлы прочитаны, 1 - хотя бы один не прочитан,\n"
      "2 - неверный вызов.\n";

int usageError(const QString &text)
{
    printError(text);
    printError(QStringLiteral("Справка: lintaro-cli probe --help"));
    return 2;
}

} // namespace

bool isAudioLocation(const QString &location)
{
    if (location.isEmpty() || location == QStringLiteral("."))
        return true;
    if (location.size() != 1)
        return false;
    const char16_t c = location[0].unicode();
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

QString audioLocationArgument(const QString &location)
{
    // The dialog keeps its drive letter in lower case; "E" means the same drive.
    return location.toLower();
}

int probeCommand(const QStringList &arguments)
{
    QString location;
    QStringList files;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (options && argument == QStringLiteral("--")) {
            options = false;
        } else if (options && (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))) {
            printText(stdout, QString::fromUtf8(kProbeHelp));
            return 0;
        } else if (options && argument == QStringLiteral("--audio")) {
            if (++i == arguments.size())
                return usageError(QStringLiteral("После --audio нужно указать место звука"));
            location = arguments[i];
        } else if (options && argument.startsWith(QStringLiteral("--audio="))) {
            location = argument.mid(8);
        } else if (options && argument.size() > 1 && argument.startsWith(u'-')) {
            return usageError(QStringLiteral("Неизвестный параметр: %1").arg(argument));
        } else {
            files.append(argument);
        }
    }
    if (!isAudioLocation(location))
        return usageError(
            QStringLiteral("Место звука \"%1\" должно быть пустым, точкой или буквой диска").arg(location));
    if (files.isEmpty())
        return usageError(QStringLiteral("Не указан ни один файл"));
    location = audioLocationArgument(location);

    int status = 0;
    for (const QString &file : files) {
        const MediaProbe::Result result = MediaProbe::probe(file, location);
        if (!result.ok()) {
            printError(QStringLiteral("%1: %2").arg(file, result.failure));
            status = 1;
            continue;
        }
        const MediaFacts &facts = *result.facts;
        QString line = QStringLiteral("%1\tframes=%2\tstep=%3\trate=%4\tmedia=%5")
                           .arg(file, QString::number(facts.frameCount), QString::number(facts.sampleStep),
                                QString::number(facts.scaledRate), QString::number(facts.mediaType));
        if (!facts.startTimecode.isEmpty())
            line += QStringLiteral("\ttimecode=") + facts.startTimecode;
        if (facts.width > 0 && facts.height > 0)
            line += QStringLiteral("\tsize=%1x%2").arg(facts.width).arg(facts.height);
        if (facts.sarNum > 0 && facts.sarDen > 0)
            line += QStringLiteral("\tsar=%1:%2").arg(facts.sarNum).arg(facts.sarDen);
        if (facts.audioChannels > 0 && facts.sampleRate > 0) {
            line += QStringLiteral("\taudio=%1x%2").arg(facts.audioChannels).arg(facts.sampleRate);
            if (facts.bitDepth > 0)
                line += QStringLiteral("x%1").arg(facts.bitDepth);
        }
        printOut(line);
    }
    return status;
}

} // namespace lintaro::cli
