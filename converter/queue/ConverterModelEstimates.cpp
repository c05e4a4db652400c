// Size estimates: calculated ones, and measurements scheduled one at a time in the background.
#include "converter/queue/ConverterModel.h"

#include "converter/ConverterEngine.h"
#include "converter/estimate/SizeSampler.h"
#include "converter/queue/ConverterPools.h"

#include <QCoreApplication>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

QString ConverterModel::sampleKey(const QUuid& id, const QString& targetId, const ConvertOptions& options) {
    return id.toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('|') + targetId + QLatin1Char('|') +
           options.quality.id() + QLatin1Char('|') + QString::number(options.maxSize);
}

std::optional<qint64> ConverterModel::estimate(const Item& entry, const ConvertTarget& target) const {
    if (!ConverterEngine::needsSample(target))
        return ConverterEngine::calculatedSize(target, entry.probe ? &*entry.probe : nullptr, entry.size,
                                               options());
    const auto found = m_sampled.constFind(sampleKey(entry.id, target.id, options()));
    if (found == m_sampled.constEnd())
        return std::nullopt;
    return *found;
}

bool ConverterModel::isEstimating(const Item& entry, const ConvertTarget& target) const {
    if (!entry.probed)
        return entry.kind == ConvertKind::video || entry.kind == ConvertKind::audio;
    // Only files that can be measured wait for a measurement: one without a picture never gets
    // one, so it must not show "estimating…" for ever.
    if (!ConverterEngine::needsSample(target) || entry.kind != ConvertKind::video || !entry.probe ||
        !(entry.probe->duration() > 0) || !entry.probe->video())
        return false;
    const QString key = sampleKey(entry.id, target.id, options());
    return !m_sampled.contains(key) && !m_failedSamples.contains(key);
}

ConverterModel::Total ConverterModel::estimatedTotal(ConvertKind kind, const ConvertTarget& target) const {
    Total total;
    for (const Item& entry : m_items) {
        if (entry.kind != kind || !(entry.status.isWaiting() || entry.status.isRunning()))
            continue;
        if (const std::optional<qint64> size = estimate(entry, target)) {
            total.bytes += *size;
            total.any = true;
        } else if (isEstimating(entry, target)) {
            total.pending = true;
        }
    }
    return total;
}

qint64 ConverterModel::originalTotal(ConvertKind kind) const {
    qint64 total = 0;
    for (const Item& entry : m_items)
        if (entry.kind == kind && (entry.status.isWaiting() || entry.status.isRunning()))
            total += entry.size;
    return total;
}

void ConverterModel::estimateChanged(const QUuid& id) {
    if (const int index = row(id); index >= 0)
        Q_EMIT itemChanged(index);
    Q_EMIT totalsChanged();
}

void ConverterModel::measureNext() {
    if (m_sampling || m_running > 0)
        return;
    const QString chosen = m_choice.value(ConvertKind::video);
    std::optional<ConvertTarget> target;
    for (const ConvertTarget& candidate : ConvertTarget::targets(ConvertKind::video))
        if (ConverterEngine::needsSample(candidate) && candidate.id == chosen)
            target = candidate;
    if (!target)
        return;
    for (const Item& entry : std::as_const(m_items)) {
        if (entry.kind != ConvertKind::video || !entry.status.isWaiting() || !entry.probe ||
            !(entry.probe->duration() > 0) || !entry.probe->video())
            continue;
        if (!isEstimating(entry, *target))
            continue;

        m_sampling = true;
        const QString key = sampleKey(entry.id, target->id, options());
        QPointer<ConverterModel> self(this);
        (void)QtConcurrent::run(ConverterPools::measurements(), [self, key, id = entry.id, url = entry.url,
                                                                 probe = *entry.probe, target = *target,
                                                                 options = options(), stop = m_stopSampling] {
            const std::optional<qint64> size =
                SizeSampler::measure(url, probe.duration(), target, &probe, options, stop);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, key, id, size] {
                    if (!self)
                        return;
                    self->m_sampling = false;
                    if (size)
                        self->m_sampled.insert(key, *size);
                    else
                        self->m_failedSamples.insert(key);
                    self->estimateChanged(id);
                    self->measureNext();
                },
                Qt::QueuedConnection);
        });
        return;
    }
}
