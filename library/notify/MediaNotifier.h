#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>

// The process-wide carrier of the media stores' change notices ("HalcyrinMediaRecentsChanged",
// "HalcyrinMediaMarksChanged"). `post` emits the notice here at once and announces it to the
// suite's other processes as a D-Bus signal on the session bus; notices announced by another
// process arrive as the same signals. Without a session bus only this process hears them (the
// stores still re-read when the application becomes active). Main thread only.
class MediaNotifier : public QObject {
    Q_OBJECT

public:
    static inline const QString recentsChanged = QStringLiteral("HalcyrinMediaRecentsChanged");
    static inline const QString marksChanged = QStringLiteral("HalcyrinMediaMarksChanged");

    static MediaNotifier& shared();

    // Emits the notice for `name` (one of the two above) and announces it to other processes.
    void post(const QString& name);
    // Whether announcements reach other processes (a session bus is connected).
    bool announcesToOtherProcesses() const { return m_onBus; }

Q_SIGNALS:
    // `fromOtherProcess` is true for a notice another process announced.
    void mediaRecentsChanged(bool fromOtherProcess);
    void mediaMarksChanged(bool fromOtherProcess);

private Q_SLOTS:
    void announced(const QString& name, const QDBusMessage& message);

private:
    MediaNotifier();
    void deliver(const QString& name, bool fromOtherProcess);

    bool m_onBus = false;
};
