// Benchmark driver: several pictures into one PDF.
//   bench-pictures-combine [--max-size N] OUTPUT.pdf INPUT...
#include "converter/ConverterEngine.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    ConvertOptions options;
    if (args.size() >= 2 && args[0] == QLatin1String("--max-size")) {
        options.maxSize = args[1].toInt();
        args = args.mid(2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s [--max-size N] OUTPUT.pdf INPUT...\n", argv[0]);
        return 2;
    }
    QFile::remove(args[0]);
    if (const ConvertResult error = ConverterEngine::picturesToPDF(args.mid(1), args[0], options)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message));
        return 1;
    }
    return 0;
}
