#include "converter/catalogue/ConvertTarget.h"

namespace {

ConvertTarget row(const char* id, const char* title, const char* detail, const char* ext,
                  ConvertKind output) {
    return {QString::fromUtf8(id), QString::fromUtf8(title), QString::fromUtf8(detail),
            QString::fromUtf8(ext), output};
}

} // namespace

const QList<ConvertTarget>& ConvertTarget::all() {
    // Titles and details are shown to the user exactly as written here.
    static const QList<ConvertTarget> table{
        row("mp4", "MP4 (H.264)", "Plays everywhere: Mac, Windows, phones, TVs, the web.", "mp4",
            ConvertKind::video),
        row("mp4-hevc", "MP4 (HEVC / H.265)",
            "About half the size of H.264 at the same quality. Newer devices.", "mp4", ConvertKind::video),
        row("mp4-copy", "MP4 (rewrap, no re-encode)",
            "Moves the video and sound into MP4 without touching them. Fast and lossless, but only works if "
            "they're already H.264/HEVC + AAC/MP3/AC-3.",
            "mp4", ConvertKind::video),
        row("mov-prores", "MOV (ProRes 422)",
            "For editing in Final Cut, Premiere or DaVinci Resolve. Large files.", "mov", ConvertKind::video),
        row("mkv", "MKV (H.264)", "Keeps every audio track and subtitle.", "mkv", ConvertKind::video),
        row("webm", "WebM (VP9)", "For websites. Slower to convert.", "webm", ConvertKind::video),
        row("mp4-part2", "MP4 (MPEG-4 Part 2)",
            "For old players, TVs, car screens and phones that can't play H.264. Bigger files.", "mp4",
            ConvertKind::video),
        row("avi", "AVI (MPEG-4)", "For old players, TVs and car screens.", "avi", ConvertKind::video),
        row("gif", "Animated GIF", "Short silent clips for chats and web pages.", "gif", ConvertKind::image),
        row("mp3", "MP3", "Plays on everything.", "mp3", ConvertKind::audio),
        row("m4a", "M4A (AAC)", "Apple Music's format. Smaller than MP3 at the same quality.", "m4a",
            ConvertKind::audio),
        row("alac", "M4A (Apple Lossless)", "CD quality, for Apple devices.", "m4a", ConvertKind::audio),
        row("flac", "FLAC", "Lossless, open format.", "flac", ConvertKind::audio),
        row("wav", "WAV", "Uncompressed. For editing and Windows.", "wav", ConvertKind::audio),
        row("aiff", "AIFF", "Uncompressed, Apple's format.", "aiff", ConvertKind::audio),
        row("opus", "Opus", "Best quality at small sizes. Newer players.", "opus", ConvertKind::audio),
        row("jpeg", "JPEG", "Photos. Small files, plays everywhere.", "jpg", ConvertKind::image),
        row("png", "PNG", "Screenshots and graphics. Lossless, keeps transparency.", "png",
            ConvertKind::image),
        row("heic", "HEIC", "iPhone's format. Half the size of JPEG.", "heic", ConvertKind::image),
        row("tiff", "TIFF", "Lossless, for print and editing.", "tiff", ConvertKind::image),
        row("bmp", "BMP", "Windows bitmap.", "bmp", ConvertKind::image),
        row("ico", "ICO (Windows icon)", "Up to 256 × 256.", "ico", ConvertKind::image),
        row("gif-still", "GIF", "Simple graphics, 256 colours.", "gif", ConvertKind::image),
        row("pdf", "PDF", "Prints and opens anywhere.", "pdf", ConvertKind::pdf),
        row("pdf-png", "PNG pictures (one per page)", "Each page as a picture, in a folder.", "png",
            ConvertKind::image),
        row("pdf-jpeg", "JPEG pictures (one per page)", "Each page as a picture, in a folder.", "jpg",
            ConvertKind::image),
        row("pdf-docx", "Word (.docx), text only",
            "The PDF's text and basic formatting. Layout and pictures aren't kept.", "docx",
            ConvertKind::document),
        row("pdf-txt", "Plain text", "Just the words.", "txt", ConvertKind::document),
        row("doc-pdf", "PDF", "Prints and opens anywhere.", "pdf", ConvertKind::pdf),
        row("docx", "Word (.docx)", "Microsoft Word, Pages, Google Docs.", "docx", ConvertKind::document),
        row("doc", "Word 97–2003 (.doc)", "For old versions of Word.", "doc", ConvertKind::document),
        row("odt", "OpenDocument (.odt)", "LibreOffice and OpenOffice.", "odt", ConvertKind::document),
        row("rtf", "Rich Text (.rtf)", "Opens in every word processor.", "rtf", ConvertKind::document),
        row("html", "Web page (.html)", "Opens in any browser.", "html", ConvertKind::document),
        row("txt", "Plain text (.txt)", "Just the words.", "txt", ConvertKind::document),
    };
    return table;
}

QList<ConvertTarget> ConvertTarget::targets(ConvertKind kind) {
    static const char* const video[] = {"mp4", "mp4-hevc", "mp4-copy", "mp4-part2", "mov-prores",
                                        "mkv", "webm",     "avi",      "gif",       "mp3",
                                        "m4a", "flac",     "wav"};
    static const char* const audio[] = {"mp3", "m4a", "alac", "flac", "wav", "aiff", "opus"};
    static const char* const image[] = {"jpeg", "png", "heic", "tiff", "bmp", "ico", "gif-still", "pdf"};
    static const char* const pdf[] = {"pdf-png", "pdf-jpeg", "pdf-docx", "pdf-txt"};
    static const char* const document[] = {"doc-pdf", "docx", "doc", "odt", "rtf", "html", "txt"};
    QList<const char*> ids;
    switch (kind) {
    case ConvertKind::video:
        ids = QList<const char*>(std::begin(video), std::end(video));
        break;
    case ConvertKind::audio:
        ids = QList<const char*>(std::begin(audio), std::end(audio));
        break;
    case ConvertKind::image:
        ids = QList<const char*>(std::begin(image), std::end(image));
        break;
    case ConvertKind::pdf:
        ids = QList<const char*>(std::begin(pdf), std::end(pdf));
        break;
    case ConvertKind::document:
        ids = QList<const char*>(std::begin(document), std::end(document));
        break;
    }
    QList<ConvertTarget> result;
    for (const char* id : ids)
        if (const auto target = byID(QString::fromLatin1(id)))
            result.append(*target);
    return result;
}

std::optional<ConvertTarget> ConvertTarget::byID(const QString& id) {
    for (const ConvertTarget& target : all())
        if (target.id == id)
            return target;
    return std::nullopt;
}
