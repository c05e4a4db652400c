#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// The file manager's "convert" action: the D-Bus method ConvertFiles(as uris) of the
// interface org.halcyrin.QuorvaneConverter at /org/halcyrin/QuorvaneConverter on the session
// bus. It only hands the file addresses on (queued, as `convert`); the receiver shows the
// converter window with them. One shared instance; main thread.
class ConverterService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.halcyrin.QuorvaneConverter")

public:
    static inline const QString serviceName = QStringLiteral("org.halcyrin.QuorvaneConverter");
    static inline const QString objectPath = QStringLiteral("/org/halcyrin/QuorvaneConverter");

    static ConverterService& shared();
    explicit ConverterService(QObject* parent = nullptr);

    // Registers the object and the service name on the session bus. False (and logged) when no
    // session bus exists or the name is taken.
    bool registerOnSessionBus();

    // The local files among the addresses, in order: "file:" addresses and absolute paths.
    static QList<QUrl> fileUrls(const QStringList& uris);

public Q_SLOTS:
    Q_SCRIPTABLE void ConvertFiles(const QStringList& uris);

Q_SIGNALS:
    // Emitted on a later turn of the event loop, only when at least one file address came.
    void convert(const QList<QUrl>& files);
};
