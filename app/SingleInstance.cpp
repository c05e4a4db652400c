#include "app/SingleInstance.h"

#include "common/Log.h"

#include <QDataStream>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

namespace {

// A 32-bit length, then {"quorvane": 1, "addresses": [...]} as UTF-8 JSON; the receiver answers
// with one byte. JSON, not QDataStream: a forged count must not make the receiver allocate.
constexpr qint64 kMessageLimit = 8 * 1024 * 1024;
constexpr int kReceiveTimeoutMs = 5000;

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

QString SingleInstance::socketPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        return QDir::tempPath() + QStringLiteral("/quorvane-converter-%1.socket").arg(getuid());
    return QDir(folder).filePath(QStringLiteral("quorvane-converter.socket"));
}

bool SingleInstance::listen() {
    if (m_server.isListening())
        return true;
    {
        QLocalSocket probe;
        probe.connectToServer(socketPath());
        if (probe.waitForConnected(1000)) {
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answers: what is left at the path belongs to an instance that has gone.
    QLocalServer::removeServer(socketPath());
    if (!m_server.listen(socketPath())) {
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: can't listen for other launches: ") + m_server.errorString());
        return false;
    }
    return true;
}

bool SingleInstance::handOver(const QStringList& addresses, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray message =
        QJsonDocument(QJsonObject{{QStringLiteral("quorvane"), 1},
                                  {QStringLiteral("addresses"), QJsonArray::fromStringList(addresses)}})
            .toJson(QJsonDocument::Compact);
    QByteArray framed;
    {
        QDataStream stream(&framed, QIODevice::WriteOnly);
        stream << quint32(message.size());
    }
    framed += message;
    socket.write(framed);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.read(1) == QByteArrayLiteral("\x01");
}

QStringList SingleInstance::addressesFromArguments(const QStringList& arguments,
                                                   const QString& workingFolder) {
    QStringList addresses;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        // "name:with colon.mp4" is a file; only a scheme with "//" (or "file:") makes an address.
        if (argument.contains(QLatin1String("://")) || argument.startsWith(QLatin1String("file:"))) {
            addresses.append(QUrl(argument).toString());
            continue;
        }
        addresses.append(QUrl::fromLocalFile(QDir(workingFolder).absoluteFilePath(argument)).toString());
    }
    return addresses;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A launch that connects and says nothing is dropped after a while.
        QTimer::singleShot(kReceiveTimeoutMs, socket, [guard] {
            if (guard)
                guard->abort();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard)
                return;
            QLocalSocket* s = guard.data();
            if (s->bytesAvailable() < qint64(sizeof(quint32)))
                return;
            QDataStream head(s->peek(sizeof(quint32)));
            quint32 length = 0;
            head >> length;
            if (length > kMessageLimit) {
                s->abort();
                return;
            }
            if (s->bytesAvailable() < qint64(sizeof(quint32)) + length)
                return;
            s->read(sizeof(quint32));
            const QJsonDocument document = QJsonDocument::fromJson(s->read(length));
            const QJsonObject object = document.object();
            if (!document.isObject() || object.value(QStringLiteral("quorvane")).toInt() != 1 ||
                !object.value(QStringLiteral("addresses")).isArray()) {
                s->abort();
                return;
            }
            QStringList addresses;
            for (const QJsonValue& value : object.value(QStringLiteral("addresses")).toArray()) {
                if (value.isString())
                    addresses.append(value.toString());
            }
            s->write("\x01", 1);
            s->flush();
            Q_EMIT received(addresses);
        });
    }
}
