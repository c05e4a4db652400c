#include "converter/catalogue/ConvertKind.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

bool conformsTo(const QMimeType& type, const char* name) {
    return type.isValid() && type.inherits(QString::fromLatin1(name));
}

bool isImage(const QMimeType& type) {
    if (!type.isValid())
        return false;
    if (type.name().startsWith(QLatin1String("image/")))
        return true;
    for (const QString& parent : type.allAncestors())
        if (parent.startsWith(QLatin1String("image/")))
            return true;
    return false;
}

bool hasPrefix(const QMimeType& type, const QString& prefix) {
    if (!type.isValid())
        return false;
    if (type.name().startsWith(prefix))
        return true;
    for (const QString& parent : type.allAncestors())
        if (parent.startsWith(prefix))
            return true;
    return false;
}

} // namespace

QList<ConvertKind> ConvertKind::all() {
    return {video, audio, image, pdf, document};
}

std::optional<ConvertKind> ConvertKind::fromId(const QString& id) {
    for (ConvertKind kind : all())
        if (kind.id() == id)
            return kind;
    return std::nullopt;
}

QString ConvertKind::id() const {
    switch (m_value) {
    case video:
        return QStringLiteral("video");
    case audio:
        return QStringLiteral("audio");
    case image:
        return QStringLiteral("image");
    case pdf:
        return QStringLiteral("pdf");
    case document:
        return QStringLiteral("document");
    }
    return {};
}

QString ConvertKind::title() const {
    switch (m_value) {
    case video:
        return QStringLiteral("Videos");
    case audio:
        return QStringLiteral("Music & audio");
    case image:
        return QStringLiteral("Pictures");
    case pdf:
        return QStringLiteral("PDFs");
    case document:
        return QStringLiteral("Documents");
    }
    return {};
}

QString ConvertKind::symbol() const {
    switch (m_value) {
    case video:
        return QStringLiteral("film");
    case audio:
        return QStringLiteral("music.note");
    case image:
        return QStringLiteral("photo");
    case pdf:
        return QStringLiteral("doc.richtext");
    case document:
        return QStringLiteral("doc.text");
    }
    return {};
}

const QSet<QString>& ConvertKind::videoExtensions() {
    static const QSet<QString> set{
        QStringLiteral("mkv"),  QStringLiteral("webm"), QStringLiteral("avi"),  QStringLiteral("wmv"),
        QStringLiteral("flv"),  QStringLiteral("f4v"),  QStringLiteral("ts"),   QStringLiteral("m2ts"),
        QStringLiteral("mts"),  QStringLiteral("ogv"),  QStringLiteral("mpg"),  QStringLiteral("mpeg"),
        QStringLiteral("vob"),  QStringLiteral("3gp"),  QStringLiteral("3g2"),  QStringLiteral("rm"),
        QStringLiteral("rmvb"), QStringLiteral("asf"),  QStringLiteral("divx"), QStringLiteral("m4v"),
        QStringLiteral("mov"),  QStringLiteral("mp4"),  QStringLiteral("mxf"),  QStringLiteral("dv"),
    };
    return set;
}

const QSet<QString>& ConvertKind::audioExtensions() {
    static const QSet<QString> set{
        QStringLiteral("opus"), QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("wma"),
        QStringLiteral("ape"),  QStringLiteral("wv"),   QStringLiteral("dsf"),  QStringLiteral("dff"),
        QStringLiteral("mka"),  QStringLiteral("ac3"),  QStringLiteral("eac3"), QStringLiteral("dts"),
        QStringLiteral("flac"), QStringLiteral("alac"), QStringLiteral("m4a"),  QStringLiteral("m4b"),
        QStringLiteral("aac"),  QStringLiteral("mp3"),  QStringLiteral("wav"),  QStringLiteral("aif"),
        QStringLiteral("aiff"), QStringLiteral("caf"),  QStringLiteral("amr"),  QStringLiteral("mpc"),
        QStringLiteral("tta"),
    };
    return set;
}

const QSet<QString>& ConvertKind::documentExtensions() {
    static const QSet<QString> set{
        QStringLiteral("doc"),    QStringLiteral("docx"), QStringLiteral("rtf"),
        QStringLiteral("rtfd"),   QStringLiteral("odt"),  QStringLiteral("txt"),
        QStringLiteral("text"),   QStringLiteral("md"),   QStringLiteral("markdown"),
        QStringLiteral("html"),   QStringLiteral("htm"),  QStringLiteral("webarchive"),
        QStringLiteral("wordml"),
    };
    return set;
}

std::optional<ConvertKind> ConvertKind::of(const QString& path) {
    const QFileInfo info(path);
    const QString ext = info.suffix().toLower();
    const QMimeDatabase db;

    // What the bytes say decides PDFs and pictures (a PDF named .txt is a PDF, a PNG without an
    // extension is a picture); a file that cannot be read is typed by its name alone.
    QMimeType content;
    QFile probe(path);
    if (info.isFile() && probe.open(QIODevice::ReadOnly)) {
        probe.close();
        content = db.mimeTypeForFile(info, QMimeDatabase::MatchContent);
    }
    QMimeType named = db.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    if (content.isDefault())
        content = QMimeType();
    if (named.isDefault())
        named = QMimeType();

    for (const QMimeType& type : {content, named}) {
        if (conformsTo(type, "application/pdf"))
            return pdf;
        if (isImage(type))
            return image;
    }

    if (videoExtensions().contains(ext))
        return video;
    if (audioExtensions().contains(ext))
        return audio;
    if (documentExtensions().contains(ext))
        return document;

    // The broader tests go by the name's type, so a stray text file named notes.xyz is not
    // taken for a document.
    if (!named.isValid())
        return std::nullopt;
    if (hasPrefix(named, QStringLiteral("video/")))
        return video;
    if (hasPrefix(named, QStringLiteral("audio/")))
        return audio;
    if (conformsTo(named, "text/rtf") || conformsTo(named, "application/rtf") ||
        conformsTo(named, "text/plain"))
        return document;
    if (conformsTo(named, "text/html"))
        return document;
    return std::nullopt;
}
