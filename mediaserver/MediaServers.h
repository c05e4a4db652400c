#pragma once

#include "media/entries/MediaEntry.h"
#include "mediaserver/MediaServerAddress.h"
#include "mediaserver/MediaServerError.h"
#include "mediaserver/MediaServerRecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <variant>

class QNetworkAccessManager;
class QNetworkReply;
class UserDefaults;

// The client of media servers on other computers: the saved list of paired servers (shared with
// the suite's other tools through "fx.mediaServers"), their tokens (MediaServerTokens), the
// listing requests, the addresses of thumbnails and streams, and pairing and unpairing.
//
// Main thread only. Requests go through the object's own QNetworkAccessManager and answer on the
// main thread through the callback, and only while both this object and the caller's `context`
// are alive. The object owns its network access and replies; callers own nothing of it.
class MediaServers : public QObject {
    Q_OBJECT
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    using Server = MediaServerRecords::Server;
    using Library = MediaServerRecords::Library;
    using Folder = MediaServerRecords::Folder;
    using File = MediaServerRecords::File;
    using Listing = MediaServerRecords::Listing;
    using Query = MediaServerAddress::Query;
    template <typename T> using Result = std::variant<T, MediaServerError>;
    // None when the pairing worked.
    using PairDone = std::function<void(std::optional<MediaServerError>)>;

    // The media server's default port; saved servers always carry their own.
    static constexpr int port = 8642;

    // The application's instance, over UserDefaults::media(). It re-reads the saved list whenever
    // the application becomes active.
    static MediaServers& shared();
    // An instance over another store, for tests.
    explicit MediaServers(UserDefaults& store, QObject* parent = nullptr);
    ~MediaServers() override;

    // Paired servers in list order.
    const QList<Server>& saved() const { return m_saved; }
    // Grows by one each time the application becomes active, so that observers look at
    // `isPaired` again (another tool may have changed the token file).
    int revision() const { return m_revision; }
    // The servers offered to the rest of the application: none in this application.
    QList<Server> all() const { return {}; }

    // A token is stored for the server's id and a saved server has that id.
    bool isPaired(const Server& server) const;

    static QString base(const Server& server);
    // A resource's address with the stored token as "t" (thumbnails: "api/thumb", lib, path).
    MediaServerAddress::Built url(const Server& server, const QString& path, const Query& query = {}) const;

    // GET base + path and decode the 200 answer as T (a record or a list of records). Failures:
    // the transport's own error, the not-paired sentence for 401, `unreachable` for any other
    // status, a decoding error, or an address error.
    template <typename T>
    void get(const Server& server, const QString& path, const Query& query, QObject* context,
             std::function<void(Result<T>)> done) {
        fetch(server, path, query, context, [done = std::move(done)](Result<QByteArray> body) {
            if (const auto* error = std::get_if<MediaServerError>(&body))
                done(*error);
            else
                done(MediaServerRecords::decode<T>(std::get<QByteArray>(body)));
        });
    }
    // "api/libraries".
    void libraries(const Server& server, QObject* context, std::function<void(Result<QList<Library>>)> done);
    // "api/browse" with lib and path.
    void browse(const Server& server, const QString& libraryID, const QString& path, QObject* context,
                std::function<void(Result<Listing>)> done);

    // The player entry of a server file (stream address with the token).
    Result<MediaEntry> entry(const Server& server, const Library& library, const File& file) const;
    Result<MediaEntry> entry(const Server& server, const QString& libraryID, const QString& path,
                             const QString& name, PlayerMediaKind kind, bool convert) const;

    // Sends the digits of `code` with this computer's name; on success stores the token, moves
    // the server to the end of the saved list and logs the pairing. A newer pairing of the same
    // server, or forgetting it, cancels an earlier one: its answer changes nothing and its `done`
    // is not called.
    void pair(const Server& server, const QString& code, QObject* context, PairDone done);
    // Removes the server's token and every saved record with its id.
    void forget(const Server& server);

    // Re-reads the saved list and increases `revision`. Connected to the application's
    // activation when there is a GUI application; the suite's shell may call it itself.
    void applicationBecameActive();

    // Pairing waits this long for the server's answer; tests shorten it.
    void setPairTimeoutForTesting(int milliseconds) { m_pairTimeout = milliseconds; }

Q_SIGNALS:
    void savedChanged();
    void revisionChanged(int revision);

private Q_SLOTS:
    void applicationStateChanged(Qt::ApplicationState state);

private:
    void fetch(const Server& server, const QString& path, const Query& query, QObject* context,
               std::function<void(Result<QByteArray>)> done);
    void finishPair(QNetworkReply* reply, const Server& server, const QPointer<QObject>& context,
                    bool hadContext, const PairDone& done);
    void readSaved();
    void writeSaved();
    QNetworkAccessManager* network();

    UserDefaults& m_store;
    QList<Server> m_saved;
    int m_revision = 0;
    int m_pairTimeout = 60000;
    QNetworkAccessManager* m_network = nullptr;
    // The one pairing that counts for each server id.
    QHash<QString, QPointer<QNetworkReply>> m_pairing;
};
