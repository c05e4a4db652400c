#include "app/cli/ConvertCommand.h"

#include "common/MediaApp.h"
#include "converter/queue/ConverterPools.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <cstdio>

int main(int argc, char* argv[]) {
    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"),
                      QStringLiteral(QC_VERSION), QStringLiteral(QC_BUILD_NUMBER));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QuorvaneConverter"));
    QCoreApplication::setOrganizationName(QStringLiteral("Halcyrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QC_VERSION));

    const ConvertCommand::Parsed parsed = ConvertCommand::parse(app.arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "quorvane-convert: %s\nTry quorvane-convert --help.\n",
                     parsed.error.toUtf8().constData());
        return ConvertCommand::usageError;
    }
    ConvertCommand command(parsed.options, stdout, stderr);
    ConvertCommand::handleSignals(&command);
    int status = ConvertCommand::failure;
    QObject::connect(&command, &ConvertCommand::finished, &app, [&status](int result) {
        status = result;
        QCoreApplication::exit(result);
    });
    QMetaObject::invokeMethod(&command, &ConvertCommand::start, Qt::QueuedConnection);
    app.exec();
    // Outputs being named or removed, and the last run's leftovers being cleared, finish first.
    ConverterPools::files()->waitForDone(10000);
    return status;
}
