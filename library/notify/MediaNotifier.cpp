#include "library/notify/MediaNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

namespace {
const QString kPath = QStringLiteral("/org/halcyrin/Media");
const QString kInterface = QStringLiteral("org.halcyrin.Media");
const QString kMember = QStringLiteral("Changed");
} // namespace

MediaNotifier& MediaNotifier::shared() {
    static MediaNotifier* notifier = [] {
        auto* created = new MediaNotifier();
        // Lives as long as the application object, on its thread.
        created->setParent(QCoreApplication::instance());
        return created;
    }();
    return *notifier;
}

MediaNotifier::MediaNotifier() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_onBus =
            bus.connect(QString(), kPath, kInterface, kMember, this, SLOT(announced(QString, QDBusMessage)));
    }
}

void MediaNotifier::post(const QString& name) {
    deliver(name, false);
    if (!m_onBus)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, kMember);
    signal << name;
    QDBusConnection::sessionBus().send(signal);
}

void MediaNotifier::announced(const QString& name, const QDBusMessage& message) {
    // Our own announcement comes back from the bus too; it was delivered when posted.
    if (message.service() == QDBusConnection::sessionBus().baseService())
        return;
    deliver(name, true);
}

void MediaNotifier::deliver(const QString& name, bool fromOtherProcess) {
    if (name == recentsChanged)
        Q_EMIT mediaRecentsChanged(fromOtherProcess);
    else if (name == marksChanged)
        Q_EMIT mediaMarksChanged(fromOtherProcess);
}
