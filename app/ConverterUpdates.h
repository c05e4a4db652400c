#pragma once

#include "app/Appcast.h"

#include <QByteArray>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QDialog;

// The software-update service: reads the maker's appcast feed, compares its newest build with
// ours, shows release notes with a download button, and saves a download only when it carries
// the maker's Ed25519 signature. `canCheck` drives the enabled state of every "Check for
// Updates…" control. One shared instance, created at launch and kept for the process; main
// thread only. It owns its network access and its one update window.
class ConverterUpdates : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)

public:
    enum class Result { upToDate, available, failed };
    struct Outcome {
        Result result = Result::failed;
        std::optional<Appcast::Item> item;
        // The plain-language reason of a failure.
        QString message;
    };

    static ConverterUpdates& shared();
    explicit ConverterUpdates(QObject* parent = nullptr);
    ~ConverterUpdates() override;

    // The appcast address on the maker's web site.
    static QUrl feed();
    // Tests serve a feed from 127.0.0.1; an empty address restores the maker's.
    static void setFeedForTesting(const QUrl& address);

    // "1.2 (34)": the short version and the build, each "?" when unknown.
    static QString version();
    static QString version(const QString& shortVersion, const QString& build);

    // Starts the updater once: from the next turn of the event loop a check may start, and
    // automatic checks run once a day while `automatic` is on. Logs the feed and the setting.
    void start();
    bool isStarted() const { return m_network != nullptr; }
    // A check with its own window (the release notes and a download button, or the answer).
    // Nothing before `start` or while another check runs.
    void check();
    // A check without a window unless a newer version is found; failures only reach the log.
    void checkInBackground();

    // Whether to check once a day by itself. Reads false before `start`; writes before `start`
    // do nothing.
    bool automatic() const;
    void setAutomatic(bool on);

    bool canCheck() const { return m_canCheck; }

    // Downloads the item's file, checks its length and signature, and saves it in the
    // Downloads folder under a free name. Reports through `downloaded`.
    void download(const Appcast::Item& item);

    // The update window, when one was opened.
    QDialog* dialog() const { return m_dialog; }

    // Tests sign with their own key and save into their own folder.
    void setPublicKeyForTesting(const QByteArray& base64);
    void setDownloadFolderForTesting(const QString& folder);

Q_SIGNALS:
    void canCheckChanged(bool canCheck);
    void checked(const ConverterUpdates::Outcome& outcome);
    // `path` of the saved file, or an empty path and the reason.
    void downloaded(const QString& path, const QString& error);

private:
    void startCheck(bool interactive);
    void finishCheck(QNetworkReply* reply, bool interactive);
    void finishDownload(QNetworkReply* reply, const Appcast::Item& item);
    void setCanCheck(bool value);
    void checkIfDue();
    void showDialog();

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_checking;
    QPointer<QNetworkReply> m_downloading;
    QPointer<QDialog> m_dialog;
    QTimer m_daily;
    bool m_canCheck = false;
    QByteArray m_publicKey;
    QString m_downloadFolder;
};

Q_DECLARE_METATYPE(ConverterUpdates::Outcome)
