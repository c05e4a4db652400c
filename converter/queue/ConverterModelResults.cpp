// The sentences a finished tool run turns into.
#include "converter/queue/ConverterModel.h"

#include "common/MediaApp.h"
#include "converter/queue/OutputFile.h"

ConverterModel::Status ConverterModel::statusForResult(const std::optional<QString>& failure,
                                                       const ConvertTarget& target, const QString& output) {
    if (!failure)
        return Status::done(output);
    if (*failure == ConvertControl::cancelledText())
        return Status::cancelled();
    const QString text = failure->toLower();
    if (target.id == QLatin1String("mp4-copy") &&
        (text.contains(QLatin1String("codec")) || text.contains(QLatin1String("not supported")) ||
         text.contains(QLatin1String("could not find tag"))))
        return Status::failed(QStringLiteral(
            "This video's format can't go into MP4 without converting. Choose MP4 (H.264) instead."));
    if (text.contains(QLatin1String("no space left")))
        return Status::failed(OutputFile::diskFullMessage());
    if (text.contains(QLatin1String("permission denied")))
        return Status::failed(OutputFile::notAllowedMessage());
    if (text.contains(QLatin1String("invalid data")))
        return Status::failed(
            QStringLiteral("This file looks damaged or isn't really a video or audio file."));
    const QStringList lines = failure->split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (!line.trimmed().isEmpty())
            return Status::failed(line);
    return Status::failed(*failure);
}

QString ConverterModel::ffmpegMissingMessage() {
    return QStringLiteral("The converter's FFmpeg is missing from ") + MediaApp::name() +
           QStringLiteral(". Reinstall ") + MediaApp::name() + QLatin1Char('.');
}
