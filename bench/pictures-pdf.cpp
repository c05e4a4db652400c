// Benchmark driver: one PDF to page pictures or text, as the converter does it.
//   bench-pictures-pdf TARGET QUALITY INPUT.pdf OUTPUT      (TARGET: pdf-png, pdf-jpeg, pdf-txt)
// The output folder or file is replaced.
#include "converter/ConverterEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: %s TARGET QUALITY INPUT.pdf OUTPUT\n", argv[0]);
        return 2;
    }
    const auto target = ConvertTarget::byID(args[1]);
    const auto quality = ConvertQuality::fromId(args[2]);
    if (!target || !quality) {
        std::fprintf(stderr, "unknown target or quality\n");
        return 2;
    }
    QDir(args[4]).removeRecursively();
    QFile::remove(args[4]);
    if (const ConvertResult error = ConverterEngine::convertPDF(args[3], args[4], *target, {*quality, 0})) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message));
        return 1;
    }
    return 0;
}
