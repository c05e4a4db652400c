// Drives SFTPClient for bench/sftp.sh: one download or upload through the real `sftp` tool, or
// the listing parser on a generated 1,000-entry listing.
//
//   bench-sftp-client --program <sftp> --port <n> --user <name> download <remote> <local>
//   bench-sftp-client --program <sftp> --port <n> --user <name> upload <local> <remote folder>
//   bench-sftp-client parse [entries]          (prints the best of 20 parses in milliseconds)
#include "network/sftp/SFTPClient.h"
#include "network/sftp/SFTPListing.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

int parse(int count) {
    QString output = QStringLiteral("sftp> ls -la \"/srv/media\"\n");
    for (int i = 0; i < count; ++i) {
        output +=
            QStringLiteral("%1rw-r--r--    1 alice    alice  %2 Jan  1 12:00 /srv/media/Film %3 (%4).mkv\n")
                .arg(i % 10 == 0 ? QLatin1Char('d') : QLatin1Char('-'))
                .arg(qint64(i) * 1048573, 10)
                .arg(count - i)
                .arg(i % 7 == 0 ? QStringLiteral("Director's Cut") : QStringLiteral("2023"));
    }
    qint64 best = -1;
    qsizetype entries = 0;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer timer;
        timer.start();
        entries = SFTPListing::parse(output, QStringLiteral("/srv/media")).size();
        const qint64 elapsed = timer.nsecsElapsed();
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    std::printf("%lld %.3f\n", static_cast<long long>(entries), double(best) / 1e6);
    return entries == count ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("parse"))
        return parse(arguments.size() > 1 ? arguments.at(1).toInt() : 1000);

    NetworkServer server;
    server.kind = NetworkServerKind::sftp;
    server.host = QStringLiteral("127.0.0.1");
    while (arguments.size() >= 2 && arguments.first().startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeFirst();
        const QString value = arguments.takeFirst();
        if (option == QLatin1String("--program"))
            SFTPClient::setProgramForTesting(value);
        else if (option == QLatin1String("--port"))
            server.port = value.toInt();
        else if (option == QLatin1String("--user"))
            server.user = value;
    }
    if (arguments.size() != 3) {
        std::fprintf(stderr,
                     "usage: bench-sftp-client --program P --port N --user U download|upload FROM TO\n");
        return 2;
    }
    const SFTPClient client(server);
    int status = 1;
    auto report = [&status](bool ok, const QString& error) {
        if (!ok)
            std::fprintf(stderr, "%s\n", qPrintable(error));
        status = ok ? 0 : 1;
        QCoreApplication::quit();
    };
    if (arguments.at(0) == QLatin1String("download")) {
        client.download(arguments.at(1), arguments.at(2), &app, [&](const SFTPResult<QString>& result) {
            report(result.ok(), result.ok() ? QString() : result.error().message);
        });
    } else {
        client.upload(arguments.at(1), arguments.at(2), &app, [&](const SFTPResult<std::monostate>& result) {
            report(result.ok(), result.ok() ? QString() : result.error().message);
        });
    }
    app.exec();
    return status;
}
