#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace TestSupport {

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {
const char* const kParentSettings = "QC_TEST_PARENT_CONFIG";
} // namespace

int runHelperTest(const QString& test, const QProcessEnvironment& extra, int timeoutMs) {
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kParentSettings), qEnvironmentVariable("XDG_CONFIG_HOME"));
    for (const QString& key : extra.keys())
        environment.insert(key, extra.value(key));
    helper.setProcessEnvironment(environment);
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    helper.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
    // The event loop keeps running so that this process can answer the helper meanwhile.
    if (!waitFor([&] { return helper.state() == QProcess::NotRunning; }, timeoutMs)) {
        helper.kill();
        helper.waitForFinished();
        return -1;
    }
    return helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
}

bool joinParentSettings() {
    const QByteArray parent = qgetenv(kParentSettings);
    if (parent.isEmpty())
        return false;
    qputenv("XDG_CONFIG_HOME", parent);
    return true;
}

} // namespace TestSupport
