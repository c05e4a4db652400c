// Benchmark driver for documents, converting one file after another as the converter queue does
// (the office worker starts on the first and stays warm for the rest).
//   bench-documents make FOLDER COUNT       writes COUNT small documents (docx, odt, rtf, html mixed)
//   bench-documents TARGET OUTPUT_FOLDER INPUT...
// Writes OUTPUT_FOLDER/<input name>.<target ext>; exits 1 on the first failure.
#include "common/MediaApp.h"
#include "converter/ConverterEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

QByteArray page(int number) {
    QByteArray html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Report " +
                      QByteArray::number(number) + "</title></head><body>\n<h1>Quarterly report " +
                      QByteArray::number(number) + "</h1>\n";
    for (int i = 0; i < 12; ++i)
        html += "<p>Paragraph " + QByteArray::number(i) +
                " of a small business letter with <b>bold</b>, <i>italic</i> and plain words, long enough to "
                "wrap over a line or two on the printed page.</p>\n";
    html += "<ul><li>first point</li><li>second point</li></ul>\n</body></html>\n";
    return html;
}

int make(const QString& folder, int count) {
    QDir().mkpath(folder);
    const char* kinds[] = {"docx", "odt", "rtf", "html"};
    for (int i = 0; i < count; ++i) {
        const QString kind = QString::fromLatin1(kinds[i % 4]);
        const QString html = folder + QStringLiteral("/.source-%1.html").arg(i + 1);
        QFile file(html);
        if (!file.open(QIODevice::WriteOnly) || file.write(page(i + 1)) < 0)
            return 1;
        file.close();
        const QString output =
            folder + QStringLiteral("/document-%1.%2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(kind);
        QFile::remove(output);
        if (kind == QLatin1String("html")) {
            QFile::rename(html, output);
            continue;
        }
        if (const ConvertResult error =
                ConverterEngine::convertDocument(html, output, *ConvertTarget::byID(kind))) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(output), qPrintable(error->message));
            return 1;
        }
        QFile::remove(html);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"));
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("make"))
        return make(args[2], args[3].toInt());
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: %s TARGET OUTPUT_FOLDER INPUT... | make FOLDER COUNT\n", argv[0]);
        return 2;
    }
    const auto target = ConvertTarget::byID(args[1]);
    if (!target) {
        std::fprintf(stderr, "unknown target\n");
        return 2;
    }
    QDir().mkpath(args[2]);
    for (const QString& input : args.mid(3)) {
        const QString output =
            args[2] + QLatin1Char('/') + QFileInfo(input).completeBaseName() + QLatin1Char('.') + target->ext;
        QFile::remove(output);
        if (const ConvertResult error = ConverterEngine::convertDocument(input, output, *target)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(input), qPrintable(error->message));
            return 1;
        }
    }
    return 0;
}
