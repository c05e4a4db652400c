#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QString>

#include <atomic>
#include <memory>

// Shared between the queue and one blocking conversion running on a worker thread: the queue may
// ask it to stop, and the conversion reports the name its output finally took (which differs from
// the one asked for when that name was taken while converting). Any thread.
class ConvertControl {
public:
    static std::shared_ptr<ConvertControl> make() { return std::make_shared<ConvertControl>(); }

    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    void setSaved(const QString& path) {
        QMutexLocker locker(&m_lock);
        m_saved = path;
    }
    QString saved() const {
        QMutexLocker locker(&m_lock);
        return m_saved;
    }

    // The failure text of a conversion stopped on request; the queue shows it as "cancelled".
    static QString cancelledText() { return QStringLiteral("Cancelled"); }

private:
    std::atomic_bool m_cancelled{false};
    mutable QMutex m_lock;
    QString m_saved;
};

using ConvertControlPtr = std::shared_ptr<ConvertControl>;
