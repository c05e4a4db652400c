#include "converter/catalogue/ConvertTarget.h"
#include "converter/catalogue/ConvertError.h"
#include "converter/catalogue/ConvertOptions.h"
#include "converter/catalogue/ConvertQuality.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* id;
    const char* title;
    const char* detail;
    const char* ext;
    ConvertKind output;
};

// The catalogue as the user reads it, character for character.
const Row kRows[] = {
    {"mp4", "MP4 (H.264)", "Plays everywhere: Mac, Windows, phones, TVs, the web.", "mp4",
     ConvertKind::video},
    {"mp4-hevc", "MP4 (HEVC / H.265)", "About half the size of H.264 at the same quality. Newer devices.",
     "mp4", ConvertKind::video},
    {"mp4-copy", "MP4 (rewrap, no re-encode)",
     "Moves the video and sound into MP4 without touching them. Fast and lossless, but only works if they're "
     "already H.264/HEVC + AAC/MP3/AC-3.",
     "mp4", ConvertKind::video},
    {"mov-prores", "MOV (ProRes 422)", "For editing in Final Cut, Premiere or DaVinci Resolve. Large files.",
     "mov", ConvertKind::video},
    {"mkv", "MKV (H.264)", "Keeps every audio track and subtitle.", "mkv", ConvertKind::video},
    {"webm", "WebM (VP9)", "For websites. Slower to convert.", "webm", ConvertKind::video},
    {"mp4-part2", "MP4 (MPEG-4 Part 2)",
     "For old players, TVs, car screens and phones that can't play H.264. Bigger files.", "mp4",
     ConvertKind::video},
    {"avi", "AVI (MPEG-4)", "For old players, TVs and car screens.", "avi", ConvertKind::video},
    {"gif", "Animated GIF", "Short silent clips for chats and web pages.", "gif", ConvertKind::image},
    {"mp3", "MP3", "Plays on everything.", "mp3", ConvertKind::audio},
    {"m4a", "M4A (AAC)", "Apple Music's format. Smaller than MP3 at the same quality.", "m4a",
     ConvertKind::audio},
    {"alac", "M4A (Apple Lossless)", "CD quality, for Apple devices.", "m4a", ConvertKind::audio},
    {"flac", "FLAC", "Lossless, open format.", "flac", ConvertKind::audio},
    {"wav", "WAV", "Uncompressed. For editing and Windows.", "wav", ConvertKind::audio},
    {"aiff", "AIFF", "Uncompressed, Apple's format.", "aiff", ConvertKind::audio},
    {"opus", "Opus", "Best quality at small sizes. Newer players.", "opus", ConvertKind::audio},
    {"jpeg", "JPEG", "Photos. Small files, plays everywhere.", "jpg", ConvertKind::image},
    {"png", "PNG", "Screenshots and graphics. Lossless, keeps transparency.", "png", ConvertKind::image},
    {"heic", "HEIC", "iPhone's format. Half the size of JPEG.", "heic", ConvertKind::image},
    {"tiff", "TIFF", "Lossless, for print and editing.", "tiff", ConvertKind::image},
    {"bmp", "BMP", "Windows bitmap.", "bmp", ConvertKind::image},
    {"ico", "ICO (Windows icon)", "Up to 256 \u00d7 256.", "ico", ConvertKind::image},
    {"gif-still", "GIF", "Simple graphics, 256 colours.", "gif", ConvertKind::image},
    {"pdf", "PDF", "Prints and opens anywhere.", "pdf", ConvertKind::pdf},
    {"pdf-png", "PNG pictures (one per page)", "Each page as a picture, in a folder.", "png",
     ConvertKind::image},
    {"pdf-jpeg", "JPEG pictures (one per page)", "Each page as a picture, in a folder.", "jpg",
     ConvertKind::image},
    {"pdf-docx", "Word (.docx), text only",
     "The PDF's text and basic formatting. Layout and pictures aren't kept.", "docx", ConvertKind::document},
    {"pdf-txt", "Plain text", "Just the words.", "txt", ConvertKind::document},
    {"doc-pdf", "PDF", "Prints and opens anywhere.", "pdf", ConvertKind::pdf},
    {"docx", "Word (.docx)", "Microsoft Word, Pages, Google Docs.", "docx", ConvertKind::document},
    {"doc", "Word 97\u20132003 (.doc)", "For old versions of Word.", "doc", ConvertKind::document},
    {"odt", "OpenDocument (.odt)", "LibreOffice and OpenOffice.", "odt", ConvertKind::document},
    {"rtf", "Rich Text (.rtf)", "Opens in every word processor.", "rtf", ConvertKind::document},
    {"html", "Web page (.html)", "Opens in any browser.", "html", ConvertKind::document},
    {"txt", "Plain text (.txt)", "Just the words.", "txt", ConvertKind::document},
};

QStringList ids(const QList<ConvertTarget>& targets) {
    QStringList result;
    for (const ConvertTarget& target : targets)
        result.append(target.id);
    return result;
}

QStringList words(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

} // namespace

TEST(ConvertTargetTest, allIsTheCatalogueCharacterForCharacter) {
    const QList<ConvertTarget>& all = ConvertTarget::all();
    ASSERT_EQ(all.size(), 35);
    for (int i = 0; i < 35; ++i) {
        const Row& row = kRows[i];
        SCOPED_TRACE(row.id);
        EXPECT_EQ(all[i].id, QString::fromUtf8(row.id));
        EXPECT_EQ(all[i].title, QString::fromUtf8(row.title));
        EXPECT_EQ(all[i].detail, QString::fromUtf8(row.detail));
        EXPECT_EQ(all[i].ext, QString::fromUtf8(row.ext));
        EXPECT_EQ(all[i].output, row.output);
    }
    // The two non-ASCII characters are the multiplication sign and the en dash.
    EXPECT_TRUE(ConvertTarget::byID(QStringLiteral("ico"))->detail.contains(QChar(0x00D7)));
    EXPECT_TRUE(ConvertTarget::byID(QStringLiteral("doc"))->title.contains(QChar(0x2013)));
}

TEST(ConvertTargetTest, targetsPerKindInDisplayOrder) {
    EXPECT_EQ(ids(ConvertTarget::targets(ConvertKind::video)),
              words("mp4 mp4-hevc mp4-copy mp4-part2 mov-prores mkv webm avi gif mp3 m4a flac wav"));
    EXPECT_EQ(ids(ConvertTarget::targets(ConvertKind::audio)), words("mp3 m4a alac flac wav aiff opus"));
    EXPECT_EQ(ids(ConvertTarget::targets(ConvertKind::image)),
              words("jpeg png heic tiff bmp ico gif-still pdf"));
    EXPECT_EQ(ids(ConvertTarget::targets(ConvertKind::document)), words("doc-pdf docx doc odt rtf html txt"));
    const QList<ConvertTarget> pdf = ConvertTarget::targets(ConvertKind::pdf);
    ASSERT_EQ(pdf.size(), 4);
    EXPECT_EQ(pdf.first().title, QStringLiteral("PNG pictures (one per page)"));
    EXPECT_EQ(ids(pdf), words("pdf-png pdf-jpeg pdf-docx pdf-txt"));
}

TEST(ConvertTargetTest, byIdFindsTheFirstRowWithThatId) {
    EXPECT_FALSE(ConvertTarget::byID(QStringLiteral("mp5")));
    EXPECT_FALSE(ConvertTarget::byID(QString()));
    EXPECT_FALSE(ConvertTarget::byID(QStringLiteral("MP4")));
    const auto gif = ConvertTarget::byID(QStringLiteral("gif"));
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->title, QStringLiteral("Animated GIF"));
    EXPECT_EQ(ConvertTarget::byID(QStringLiteral("gif-still"))->title, QStringLiteral("GIF"));
    EXPECT_EQ(ConvertTarget::byID(QStringLiteral("jpeg"))->ext, QStringLiteral("jpg"));
    for (const ConvertTarget& target : ConvertTarget::all())
        EXPECT_EQ(ConvertTarget::byID(target.id), target);
}

TEST(ConvertTargetTest, equalityAndHashingCoverEveryField) {
    const ConvertTarget pdf = *ConvertTarget::byID(QStringLiteral("pdf"));
    const ConvertTarget docPdf = *ConvertTarget::byID(QStringLiteral("doc-pdf"));
    EXPECT_EQ(pdf.title, docPdf.title);
    EXPECT_NE(pdf, docPdf);
    ConvertTarget changed = pdf;
    changed.output = ConvertKind::document;
    EXPECT_NE(changed, pdf);

    QSet<ConvertTarget> set;
    for (const ConvertTarget& target : ConvertTarget::all())
        set.insert(target);
    set.insert(pdf);
    EXPECT_EQ(set.size(), 35);
    EXPECT_EQ(qHash(pdf), qHash(ConvertTarget(pdf)));
}

TEST(ConvertTargetTest, qualityOptionsAndError) {
    const QList<ConvertQuality> all = ConvertQuality::all();
    ASSERT_EQ(all.size(), 3);
    const char* expected[][2] = {
        {"best", "Best quality"}, {"balanced", "Balanced"}, {"small", "Smallest file"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(all[i].id(), QString::fromLatin1(expected[i][0]));
        EXPECT_EQ(all[i].title(), QString::fromLatin1(expected[i][1]));
        EXPECT_EQ(ConvertQuality::fromId(all[i].id()), all[i]);
    }
    EXPECT_FALSE(ConvertQuality::fromId(QStringLiteral("Best")));

    const ConvertOptions options;
    EXPECT_EQ(options.quality, ConvertQuality::balanced);
    EXPECT_EQ(options.maxSize, 0);

    const ConvertResult failure = ConvertError{QStringLiteral("This PDF couldn't be opened.")};
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, QStringLiteral("This PDF couldn't be opened."));
    EXPECT_FALSE(ConvertResult());
}
