// Benchmark driver: converts pictures one after another as the converter queue does.
//   bench-pictures-convert TARGET MAXSIZE QUALITY OUTPUT_FOLDER INPUT...
// Writes OUTPUT_FOLDER/<input name>.<target ext>; exits 1 on the first failure.
#include "converter/ConverterEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: %s TARGET MAXSIZE QUALITY OUTPUT_FOLDER INPUT...\n", argv[0]);
        return 2;
    }
    const auto target = ConvertTarget::byID(args[1]);
    const auto quality = ConvertQuality::fromId(args[3]);
    if (!target || !quality) {
        std::fprintf(stderr, "unknown target or quality\n");
        return 2;
    }
    const ConvertOptions options{*quality, args[2].toInt()};
    QDir().mkpath(args[4]);
    for (const QString& input : args.mid(5)) {
        const QString output =
            args[4] + QLatin1Char('/') + QFileInfo(input).completeBaseName() + QLatin1Char('.') + target->ext;
        QFile::remove(output);
        if (const ConvertResult error = ConverterEngine::convertImage(input, output, *target, options)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(input), qPrintable(error->message));
            return 1;
        }
    }
    return 0;
}
