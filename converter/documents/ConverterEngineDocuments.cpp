// Documents: Word, OpenDocument, RTF and web pages are read and written by the office worker
// (DocumentEngine); plain text and Markdown are read by our own code and handed to it as flat
// OpenDocument with the default paper, 54-point margins and the desktop's sans-serif font.
// Every file is made in a private temporary folder and moved into place when complete.
#include "converter/ConverterEngine.h"

#include "converter/documents/DocumentEngine.h"
#include "converter/documents/DocumentInput.h"
#include "converter/documents/FlatOdt.h"
#include "converter/documents/MarkdownText.h"
#include "converter/documents/TextEncoding.h"
#include "converter/pictures/PdfPageText.h"
#include "converter/queue/ConversionJournal.h"
#include "converter/queue/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace ConverterEngine {

namespace {

constexpr double kTextSize = 12;

FlatOdt::Run plainRun(const QString& text) {
    FlatOdt::Run run;
    run.text = text;
    return run;
}

ConvertError unreadable() {
    return ConvertError{DocumentEngine::unreadableMessage()};
}

// The office's export format for each document target.
QString officeFormat(const QString& targetID) {
    static const QHash<QString, QString> formats{
        {QStringLiteral("doc-pdf"), QStringLiteral("pdf")}, {QStringLiteral("docx"), QStringLiteral("docx")},
        {QStringLiteral("doc"), QStringLiteral("doc")},     {QStringLiteral("odt"), QStringLiteral("odt")},
        {QStringLiteral("rtf"), QStringLiteral("rtf")},     {QStringLiteral("html"), QStringLiteral("html")},
        {QStringLiteral("txt"), QStringLiteral("txt")},
    };
    return formats.value(targetID);
}

QString savedMessage() {
    return QStringLiteral("The document couldn't be saved.");
}

// QFile keeps no error number; a resource error while writing is a full disk.
int writeErrno(const QFile& file) {
    return file.error() == QFileDevice::ResourceError ? ENOSPC : 0;
}

// The private folder where the office reads and writes; journalled so that a crash's leftovers
// are removed at the next start.
struct Workspace {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/qc-document-XXXXXX")};
    Workspace() {
        if (folder.isValid())
            ConversionJournal::shared().created(folder.path());
    }
    ~Workspace() {
        if (folder.isValid()) {
            folder.remove();
            ConversionJournal::shared().finished(folder.path());
        }
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    QString path(const QString& name) const { return folder.path() + QLatin1Char('/') + name; }
};

// Puts a finished file from the private folder in place of the output's temporary file, then
// gives it its name; nothing already there is ever replaced.
ConvertResult deliver(const QString& made, OutputFile& out) {
    if (!out.adopt(made)) {
        // Another file system: copy into the temporary file, which sits next to the output.
        QFile source(made);
        QFile target(out.temporaryPath());
        if (!source.open(QIODevice::ReadOnly))
            return out.failure(savedMessage());
        if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return out.failure(savedMessage());
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(1 << 20);
            if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
                return out.failure(savedMessage());
            if (target.write(chunk) != chunk.size())
                return out.failure(savedMessage(), writeErrno(target));
        }
        if (!target.flush())
            return out.failure(savedMessage(), writeErrno(target));
    }
    if (!out.commit())
        return out.failure(savedMessage());
    return std::nullopt;
}

ConvertResult writeBytes(const QByteArray& bytes, OutputFile& out) {
    QFile file(out.temporaryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush())
        return out.failure(savedMessage(), writeErrno(file));
    file.close();
    if (!out.commit())
        return out.failure(savedMessage());
    return std::nullopt;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The office writes <meta name="created" content="00:00:00"/> for documents without dates, and
// then fails to open its own page (and is left unstable): leave those lines out.
QByteArray withoutEmptyDates(QByteArray html) {
    static const QRegularExpression empty(
        QStringLiteral("[ \\t]*<meta name=\"(created|changed)\" content=\"00:00:00\"/>\\r?\\n?"));
    return QString::fromUtf8(html).remove(empty).toUtf8();
}

// Our own styled text through the office: flat ODF in, the target's format out.
ConvertResult convertRuns(const QList<FlatOdt::Run>& runs, const QString& format, const Workspace& work,
                          OutputFile& out) {
    const auto family = DocumentEngine::shared().sansSerifFamily();
    if (const auto* error = std::get_if<ConvertError>(&family))
        return *error;
    const QByteArray flat =
        FlatOdt::document(runs, FlatOdt::defaultPage(), std::get<QString>(family), kTextSize);
    const QString input = work.path(QStringLiteral("text.fodt"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(flat) != flat.size())
        return out.failure(savedMessage(), writeErrno(file));
    file.close();

    DocumentEngine::Request request;
    request.input = input;
    request.output = work.path(QStringLiteral("output.") + format);
    request.format = format;
    request.folder = work.folder.path();
    request.inputSize = flat.size();
    if (auto error = DocumentEngine::shared().convert(request))
        return error;
    if (format == QLatin1String("html"))
        return writeBytes(withoutEmptyDates(readAll(request.output)), out);
    return deliver(request.output, out);
}

QList<FlatOdt::Run> markdownRuns(const QString& text) {
    QList<FlatOdt::Run> runs;
    for (const MarkdownText::Run& run : MarkdownText::parse(text.toStdString())) {
        FlatOdt::Run styled;
        styled.text = QString::fromStdString(run.text);
        styled.bold = run.strong;
        styled.italic = run.emphasis;
        styled.monospace = run.code;
        styled.link = QString::fromStdString(run.link);
        runs.append(styled);
    }
    return runs;
}

// "ABCDEF+Arial-BoldMT" → "Arial": the family without the subset tag and style suffixes.
QString fontFamily(const QString& pdfFont) {
    QString name = pdfFont;
    const qsizetype plus = name.indexOf(QLatin1Char('+'));
    if (plus == 6)
        name = name.mid(plus + 1);
    for (const QChar separator : {QLatin1Char('-'), QLatin1Char(',')}) {
        const qsizetype at = name.indexOf(separator);
        if (at > 0)
            name.truncate(at);
    }
    if (name.endsWith(QLatin1String("MT")))
        name.chop(2);
    return name.trimmed();
}

// Links `input` into the private folder under a fixed name (or copies it across file systems), so
// the office never sees odd names and never touches the original's folder.
ConvertResult stageInput(const QString& input, const QString& staged) {
    if (::link(QFile::encodeName(input).constData(), QFile::encodeName(staged).constData()) == 0)
        return std::nullopt;
    if (QFile::copy(input, staged))
        return std::nullopt;
    return unreadable();
}

} // namespace

ConvertResult convertDocument(const QString& input, const QString& output, const ConvertTarget& target,
                              const ConvertControlPtr& control) {
    const QString format = officeFormat(target.id);
    if (format.isEmpty())
        return ConvertError{QStringLiteral("This system can't write %1 files.").arg(target.title)};

    QFileInfo info(input);
    QString source = input;
    // An RTFD bundle is a folder whose text is TXT.rtf.
    if (info.isDir() && info.suffix().compare(QLatin1String("rtfd"), Qt::CaseInsensitive) == 0)
        source = input + QStringLiteral("/TXT.rtf");
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly))
        return unreadable();
    const QByteArray head = file.read(DocumentInput::kHeadSize);
    const DocumentInput::Kind kind = DocumentInput::classify(QFileInfo(source).suffix(), head);
    if (kind == DocumentInput::Kind::unreadable)
        return unreadable();

    Workspace work;
    if (!work.folder.isValid())
        return ConvertError{work.folder.errorString()};
    OutputFile out(output, OutputFile::Kind::file, control);
    if (!out.isValid())
        return out.failure(savedMessage());

    if (kind == DocumentInput::Kind::text || kind == DocumentInput::Kind::markdown) {
        const QByteArray bytes = head + file.readAll();
        if (file.error() != QFileDevice::NoError)
            return unreadable();
        const QString text = TextEncoding::decode(bytes);
        QList<FlatOdt::Run> runs;
        if (kind == DocumentInput::Kind::markdown)
            runs = markdownRuns(text);
        else
            runs.append(plainRun(text));
        if (format == QLatin1String("txt")) {
            QString plain;
            for (const FlatOdt::Run& run : runs)
                plain += run.text;
            return writeBytes(plain.toUtf8(), out);
        }
        return convertRuns(runs, format, work, out);
    }
    file.close();

    const QString suffix = QFileInfo(source).suffix().toLower();
    const QString staged =
        work.path(QStringLiteral("input") + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
    if (auto error = stageInput(source, staged))
        return error;
    DocumentEngine::Request request;
    request.input = staged;
    request.output = work.path(QStringLiteral("output.") + format);
    request.format = format;
    request.folder = work.folder.path();
    request.inputSize = QFileInfo(source).size();
    if (format == QLatin1String("html"))
        request.filterOptions = QStringLiteral("EmbedImages");
    if (kind == DocumentInput::Kind::html || kind == DocumentInput::Kind::xml) {
        request.normalize = true;
        // A web page has no paper of its own: it gets the default paper and margins.
        if (kind == DocumentInput::Kind::html) {
            const FlatOdt::Page page = FlatOdt::defaultPage();
            request.paperWidth = page.width;
            request.paperHeight = page.height;
            request.margin = page.margin;
        }
    }
    if (auto error = DocumentEngine::shared().convert(request))
        return error;
    if (control && control->isCancelled())
        return out.failure({});
    if (format == QLatin1String("txt")) {
        // The office writes a byte-order mark; the text's characters are all we want.
        QFile made(request.output);
        if (!made.open(QIODevice::ReadOnly))
            return out.failure(savedMessage());
        QByteArray bytes = made.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        return writeBytes(bytes, out);
    }
    if (format == QLatin1String("html"))
        return writeBytes(withoutEmptyDates(readAll(request.output)), out);
    return deliver(request.output, out);
}

ConvertResult pdfToDocx(const QString& input, const QString& output, const ConvertControlPtr& control) {
    QList<FlatOdt::Run> runs;
    const ConvertResult read = PdfPageText::forEachPage(input, [&runs](int, const QList<PdfTextRun>& page) {
        bool any = false;
        for (const PdfTextRun& run : page) {
            if (run.text.isEmpty())
                continue;
            FlatOdt::Run styled;
            styled.text = run.text;
            styled.bold = run.bold;
            styled.italic = run.italic;
            styled.size = run.size > 0 ? run.size : 0;
            styled.font = fontFamily(run.font);
            runs.append(styled);
            any = true;
        }
        if (any)
            runs.append(plainRun(QStringLiteral("\n\n")));
    });
    if (read)
        return read;

    Workspace work;
    if (!work.folder.isValid())
        return ConvertError{work.folder.errorString()};
    OutputFile out(output, OutputFile::Kind::file, control);
    if (!out.isValid())
        return out.failure(savedMessage());
    return convertRuns(runs, QStringLiteral("docx"), work, out);
}

} // namespace ConverterEngine
