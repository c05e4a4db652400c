#include "mediaserver/MediaServers.h"

#include "common/Log.h"
#include "common/UserDefaults.h"
#include "mediaserver/MediaServerPairing.h"
#include "mediaserver/MediaServerTokens.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrlQuery>

#include <algorithm>

namespace {

namespace Keys {
const QString saved = QStringLiteral("fx.mediaServers");
}

// The token of a server, or the empty text that a server answers with 401.
QString tokenFor(const QString& id) {
    return MediaServerTokens::get(id).value_or(QString());
}

// Answers `done` with `error` on the next turn of `receiver`'s loop, like every other failure, so
// callers see one way of finishing; nothing is called when the caller's context is gone by then.
template <typename Done>
void failLater(QObject* receiver, const QPointer<QObject>& owner, bool hadContext, const Done& done,
               const MediaServerError& error) {
    QMetaObject::invokeMethod(
        receiver,
        [owner, hadContext, done, error] {
            if (!hadContext || owner)
                done(error);
        },
        Qt::QueuedConnection);
}

} // namespace

MediaServers& MediaServers::shared() {
    static MediaServers* instance = [] {
        auto* servers = new MediaServers(UserDefaults::media());
        // Connected by name: this library does not link the GUI, but the application object of
        // the suite's tools is a QGuiApplication with this signal.
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app->metaObject()->indexOfSignal("applicationStateChanged(Qt::ApplicationState)") >= 0)
            QObject::connect(app, SIGNAL(applicationStateChanged(Qt::ApplicationState)), servers,
                             SLOT(applicationStateChanged(Qt::ApplicationState)));
        return servers;
    }();
    return *instance;
}

MediaServers::MediaServers(UserDefaults& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
    readSaved();
}

MediaServers::~MediaServers() = default;

bool MediaServers::isPaired(const Server& server) const {
    const bool isSaved =
        std::any_of(m_saved.cbegin(), m_saved.cend(), [&](const Server& s) { return s.id == server.id; });
    return isSaved && MediaServerTokens::get(server.id).has_value();
}

QString MediaServers::base(const Server& server) {
    return MediaServerAddress::base(server);
}

MediaServerAddress::Built MediaServers::url(const Server& server, const QString& path,
                                            const Query& query) const {
    return MediaServerAddress::url(server, path, query, tokenFor(server.id));
}

void MediaServers::libraries(const Server& server, QObject* context,
                             std::function<void(Result<QList<Library>>)> done) {
    get<QList<Library>>(server, QStringLiteral("api/libraries"), {}, context, std::move(done));
}

void MediaServers::browse(const Server& server, const QString& libraryID, const QString& path,
                          QObject* context, std::function<void(Result<Listing>)> done) {
    get<Listing>(server, QStringLiteral("api/browse"),
                 {{QStringLiteral("lib"), libraryID}, {QStringLiteral("path"), path}}, context,
                 std::move(done));
}

void MediaServers::fetch(const Server& server, const QString& path, const Query& query, QObject* context,
                         std::function<void(Result<QByteArray>)> done) {
    const MediaServerAddress::Built address = url(server, path, query);
    const QPointer<QObject> owner(context);
    const bool hadContext = context != nullptr;
    if (const auto* error = std::get_if<MediaServerError>(&address)) {
        failLater(this, owner, hadContext, done, *error);
        return;
    }
    QNetworkReply* reply = network()->get(QNetworkRequest(std::get<QUrl>(address)));
    connect(reply, &QNetworkReply::finished, this, [reply, owner, hadContext, done] {
        reply->deleteLater();
        if (hadContext && !owner)
            return;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid()) {
            // No HTTP answer at all: refused, no route, time-out. Some of Qt's texts quote the
            // address, which holds the token.
            QString text = reply->errorString();
            const QString token =
                QUrlQuery(reply->request().url()).queryItemValue(QStringLiteral("t"), QUrl::FullyDecoded);
            if (!token.isEmpty()) {
                text.replace(token, QStringLiteral("…"));
                text.replace(QString::fromLatin1(QUrl::toPercentEncoding(token)), QStringLiteral("…"));
            }
            done(MediaServerError{MediaServerError::Kind::transport, text});
            return;
        }
        switch (status.toInt()) {
        case 200:
            done(reply->readAll());
            break;
        case 401:
            done(MediaServerError::notPaired());
            break;
        default:
            done(MediaServerError::unreachable());
        }
    });
}

MediaServers::Result<MediaEntry> MediaServers::entry(const Server& server, const Library& library,
                                                     const File& file) const {
    return entry(server, library.id, file.path, file.name, MediaServerAddress::kind(file.kind), file.convert);
}

MediaServers::Result<MediaEntry> MediaServers::entry(const Server& server, const QString& libraryID,
                                                     const QString& path, const QString& name,
                                                     PlayerMediaKind kind, bool convert) const {
    return MediaServerAddress::entry(server, libraryID, path, name, kind, convert, tokenFor(server.id));
}

void MediaServers::pair(const Server& server, const QString& code, QObject* context, PairDone done) {
    const QPointer<QObject> owner(context);
    const bool hadContext = context != nullptr;
    if (QNetworkReply* earlier = m_pairing.take(server.id))
        earlier->abort();

    const MediaServerAddress::Built address =
        MediaServerAddress::url(server, QStringLiteral("api/pair"), {}, {});
    if (const auto* error = std::get_if<MediaServerError>(&address)) {
        failLater(this, owner, hadContext, done, *error);
        return;
    }
    // The pairing request carries no token, not even an empty one.
    QUrl target = std::get<QUrl>(address);
    target.setQuery(QString());
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(m_pairTimeout);
    QNetworkReply* reply =
        network()->post(request, MediaServerPairing::body(code, MediaServerPairing::deviceName()));
    m_pairing.insert(server.id, reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply, server, owner, hadContext, done] {
        finishPair(reply, server, owner, hadContext, done);
    });
}

void MediaServers::finishPair(QNetworkReply* reply, const Server& server, const QPointer<QObject>& context,
                              bool hadContext, const PairDone& done) {
    reply->deleteLater();
    if (m_pairing.value(server.id) != reply)
        return; // superseded by a newer pairing or by forget
    m_pairing.remove(server.id);
    if (hadContext && !context)
        return;

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        done(MediaServerError::unreachable());
        return;
    }
    const auto answer = MediaServerPairing::answer(status.toInt(), reply->readAll());
    if (const auto* error = std::get_if<MediaServerError>(&answer)) {
        done(*error);
        return;
    }
    if (!MediaServerTokens::set(std::get<QString>(answer), server.id)) {
        // Without the stored token every later request would fail, so this is not a pairing.
        done(MediaServerError{
            MediaServerError::Kind::unreachable,
            QStringLiteral("The server accepted the code, but its key couldn't be saved on this "
                           "computer. Check that your home folder has free space, then pair "
                           "again.")});
        return;
    }
    m_saved.removeIf([&](const Server& s) { return s.id == server.id; });
    m_saved.append(server);
    writeSaved();
    Q_EMIT savedChanged();
    Log::info(Log::Area::app, QStringLiteral("Media server: paired with a server"));
    done(std::nullopt);
}

void MediaServers::forget(const Server& server) {
    if (QNetworkReply* pending = m_pairing.take(server.id))
        pending->abort();
    MediaServerTokens::set(std::nullopt, server.id);
    const qsizetype removed = m_saved.removeIf([&](const Server& s) { return s.id == server.id; });
    writeSaved();
    if (removed)
        Q_EMIT savedChanged();
}

void MediaServers::applicationBecameActive() {
    m_store.sync();
    readSaved();
    ++m_revision;
    Q_EMIT revisionChanged(m_revision);
}

void MediaServers::applicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive)
        applicationBecameActive();
}

void MediaServers::readSaved() {
    const QByteArray stored = m_store.data(Keys::saved);
    if (stored.isEmpty())
        return;
    const auto decoded = MediaServerRecords::decode<QList<Server>>(stored);
    const auto* servers = std::get_if<QList<Server>>(&decoded);
    if (!servers || *servers == m_saved)
        return;
    m_saved = *servers;
    Q_EMIT savedChanged();
}

void MediaServers::writeSaved() {
    m_store.setData(Keys::saved, MediaServerRecords::encodeServers(m_saved));
}

QNetworkAccessManager* MediaServers::network() {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    return m_network;
}
