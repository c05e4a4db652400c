#include "app/ConverterUpdates.h"

#include "app/UpdateDialog.h"
#include "app/UpdateSignature.h"
#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/Paths.h"
#include "common/UserDefaults.h"
#include "converter/ConverterEngine.h"
#include "converter/ui/Maker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

namespace {

// The updater's own settings.
namespace Keys {
const QString automatic = QStringLiteral("fx.updates.automatic");
const QString lastCheck = QStringLiteral("fx.updates.lastCheck");
} // namespace Keys

constexpr qint64 kFeedLimit = 4 * 1024 * 1024;
constexpr qint64 kDownloadLimit = 2LL * 1024 * 1024 * 1024;
constexpr int kTimeoutMs = 30'000;
constexpr qint64 kCheckEverySeconds = 24 * 60 * 60;

QUrl& feedOverride() {
    static QUrl address;
    return address;
}

bool isLoopback(const QUrl& url) {
    return url.host() == QLatin1String("127.0.0.1") || url.host() == QLatin1String("localhost") ||
           url.host() == QLatin1String("::1");
}

// Downloads come over https only; plain http is accepted on the loopback address, where the
// tests serve their feed.
bool isAllowedDownload(const QUrl& url) {
    return url.isValid() && (url.scheme() == QLatin1String("https") ||
                             (url.scheme() == QLatin1String("http") && isLoopback(url)));
}

QString readableError(QNetworkReply* reply) {
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral(
            "The update server can't be reached. Check the internet connection and try again.");
    case QNetworkReply::ContentNotFoundError:
        return QStringLiteral("The update server doesn't offer updates for this application right now.");
    default:
        return QStringLiteral("The update check failed: %1.").arg(reply->errorString());
    }
}

} // namespace

ConverterUpdates& ConverterUpdates::shared() {
    static ConverterUpdates* instance = new ConverterUpdates(qApp);
    return *instance;
}

ConverterUpdates::ConverterUpdates(QObject* parent)
    : QObject(parent)
    , m_publicKey(Maker::updatePublicKey()) {
    qRegisterMetaType<ConverterUpdates::Outcome>();
    m_daily.setInterval(60 * 60 * 1000);
    connect(&m_daily, &QTimer::timeout, this, &ConverterUpdates::checkIfDue);
}

ConverterUpdates::~ConverterUpdates() {
    if (m_dialog)
        delete m_dialog.data();
}

QUrl ConverterUpdates::feed() {
    return feedOverride().isEmpty() ? Maker::updateFeed() : feedOverride();
}

void ConverterUpdates::setFeedForTesting(const QUrl& address) {
    feedOverride() = address;
}

QString ConverterUpdates::version() {
    return version(MediaApp::shortVersion(), MediaApp::build());
}

QString ConverterUpdates::version(const QString& shortVersion, const QString& build) {
    const QString shown = shortVersion.isEmpty() ? QStringLiteral("?") : shortVersion;
    const QString number = build.isEmpty() ? QStringLiteral("?") : build;
    return shown + QStringLiteral(" (") + number + QLatin1Char(')');
}

void ConverterUpdates::start() {
    if (m_network)
        return;
    m_network = new QNetworkAccessManager(this);
    m_network->setTransferTimeout(kTimeoutMs);
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    // Like the can-check observation's initial value: the first answer arrives on the next turn.
    QMetaObject::invokeMethod(
        this, [this] { setCanCheck(!m_checking); }, Qt::QueuedConnection);
    Log::info(Log::Area::app,
              QStringLiteral("Updates: feed %1, automatic %2")
                  .arg(feed().toString(), automatic() ? QStringLiteral("true") : QStringLiteral("false")));
    m_daily.start();
    // The first automatic check waits a minute so that it never slows the start.
    QTimer::singleShot(60 * 1000, this, &ConverterUpdates::checkIfDue);
}

void ConverterUpdates::check() {
    if (!m_network || !m_canCheck)
        return;
    showDialog();
    startCheck(true);
}

void ConverterUpdates::checkInBackground() {
    if (!m_network || !m_canCheck)
        return;
    startCheck(false);
}

bool ConverterUpdates::automatic() const {
    if (!m_network)
        return false;
    const QVariant stored = UserDefaults::media().value(Keys::automatic);
    return stored.isValid() ? stored.toBool() : true;
}

void ConverterUpdates::setAutomatic(bool on) {
    if (!m_network)
        return;
    UserDefaults::media().setValue(Keys::automatic, on);
}

void ConverterUpdates::setPublicKeyForTesting(const QByteArray& base64) {
    m_publicKey = base64;
}

void ConverterUpdates::setDownloadFolderForTesting(const QString& folder) {
    m_downloadFolder = folder;
}

void ConverterUpdates::checkIfDue() {
    if (!automatic())
        return;
    const QDateTime last = QDateTime::fromString(UserDefaults::media().string(Keys::lastCheck), Qt::ISODate);
    if (last.isValid() && last.secsTo(QDateTime::currentDateTimeUtc()) < kCheckEverySeconds)
        return;
    checkInBackground();
}

void ConverterUpdates::showDialog() {
    if (!m_dialog) {
        m_dialog = new UpdateDialog(*this);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void ConverterUpdates::setCanCheck(bool value) {
    if (m_canCheck == value)
        return;
    m_canCheck = value;
    Q_EMIT canCheckChanged(value);
}

void ConverterUpdates::startCheck(bool interactive) {
    setCanCheck(false);
    if (auto* dialog = qobject_cast<UpdateDialog*>(m_dialog))
        dialog->showChecking();
    QNetworkRequest request(feed());
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      MediaApp::name() + QLatin1Char('/') + MediaApp::shortVersion());
    QNetworkReply* reply = m_network->get(request);
    m_checking = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kFeedLimit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, interactive] { finishCheck(reply, interactive); });
}

void ConverterUpdates::finishCheck(QNetworkReply* reply, bool interactive) {
    reply->deleteLater();
    if (m_checking != reply)
        return;
    m_checking = nullptr;

    Outcome outcome;
    if (reply->error() != QNetworkReply::NoError) {
        outcome.message = readableError(reply);
        Log::info(Log::Area::app, QStringLiteral("Updates: ") + outcome.message);
    } else {
        UserDefaults::media().setValue(Keys::lastCheck,
                                       QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        const auto items = Appcast::parse(reply->readAll());
        if (!items) {
            outcome.message = QStringLiteral("The update server sent something that isn't an update feed.");
            Log::info(Log::Area::app, QStringLiteral("Updates: ") + outcome.message);
        } else if (auto item = Appcast::newer(*items, MediaApp::build().isEmpty() ? QStringLiteral("0")
                                                                                  : MediaApp::build())) {
            outcome.result = Result::available;
            outcome.item = item;
            Log::info(Log::Area::app, QStringLiteral("Updates: version %1 (%2) is available")
                                          .arg(item->shortVersion, item->version));
        } else {
            outcome.result = Result::upToDate;
        }
    }
    setCanCheck(true);
    if (!interactive && outcome.result == Result::available)
        showDialog();
    Q_EMIT checked(outcome);
}

void ConverterUpdates::download(const Appcast::Item& item) {
    if (!m_network || m_downloading)
        return;
    if (!isAllowedDownload(item.download)) {
        Q_EMIT downloaded(
            {}, QStringLiteral("The update's address isn't a secure web address, so it wasn't downloaded."));
        return;
    }
    QNetworkReply* reply = m_network->get(QNetworkRequest(item.download));
    m_downloading = reply;
    const qint64 limit = item.length > 0 ? item.length : kDownloadLimit;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limit](qint64 received, qint64) {
        if (received > limit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, item] { finishDownload(reply, item); });
}

void ConverterUpdates::finishDownload(QNetworkReply* reply, const Appcast::Item& item) {
    reply->deleteLater();
    if (m_downloading != reply)
        return;
    m_downloading = nullptr;
    const auto fail = [this](const QString& message) {
        Log::info(Log::Area::app, QStringLiteral("Updates: ") + message);
        Q_EMIT downloaded({}, message);
    };
    if (reply->error() != QNetworkReply::NoError)
        return fail(QStringLiteral(
            "The update couldn't be downloaded. Check the internet connection and try again."));
    const QByteArray data = reply->readAll();
    if ((item.length > 0 && data.size() != item.length) ||
        !UpdateSignature::verify(data, item.signature, m_publicKey))
        return fail(
            QStringLiteral("The downloaded update doesn't carry the maker's signature, so it wasn't saved."));

    QString folder = m_downloadFolder;
    if (folder.isEmpty())
        folder = Paths::userFolder(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    QString name = QFileInfo(item.download.path()).fileName();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = MediaApp::name() + QLatin1Char('-') + item.shortVersion;
    const QString path = ConverterEngine::uniqueURL(QDir(folder).filePath(name));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return fail(QStringLiteral("The update couldn't be saved in the Downloads folder."));
    Log::info(Log::Area::app, QStringLiteral("Updates: downloaded version %1").arg(item.shortVersion));
    Q_EMIT downloaded(path, {});
}
