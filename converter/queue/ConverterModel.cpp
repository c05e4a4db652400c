// The model's state, choices and adding files. Converting is in ConverterModelQueue.cpp, the
// result texts in ConverterModelResults.cpp, size estimates in ConverterModelEstimates.cpp.
#include "converter/queue/ConverterModel.h"

#include "common/UserDefaults.h"
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpegJob.h"
#include "converter/queue/ConversionJournal.h"
#include "converter/queue/ConverterPools.h"
#include "converter/queue/FolderScan.h"
#include "converter/queue/OutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

// ---- construction and settings

ConverterModel& ConverterModel::shared() {
    static QPointer<ConverterModel> instance;
    if (!instance) {
        instance = new ConverterModel(true, QCoreApplication::instance());
        // A measurement in progress must not hold up quitting.
        if (QCoreApplication::instance()) {
            auto stop = instance->m_stopSampling;
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [stop] {
                *stop = true;
                // Outputs being given their names or removed finish before the process ends.
                ConverterPools::files()->waitForDone(10000);
            });
        }
    }
    return *instance;
}

ConverterModel::ConverterModel(QObject* parent)
    : ConverterModel(false, parent) {}

ConverterModel::ConverterModel(bool persistent, QObject* parent)
    : QObject(parent)
    , m_persistent(persistent)
    , m_stopSampling(std::make_shared<std::atomic_bool>(false)) {
    for (ConvertKind kind : ConvertKind::all()) {
        const QList<ConvertTarget> targets = ConvertTarget::targets(kind);
        if (!targets.isEmpty())
            m_choice[kind] = targets.first().id;
    }
    if (m_persistent)
        restore();
    // Made here, on the main thread, before any conversion's thread writes to it.
    ConversionJournal::shared();
    // Outputs half-written by a run that crashed or was killed. Only entries whose files are
    // still the ones that run made are removed, so this cannot race with anything of ours.
    (void)QtConcurrent::run(ConverterPools::files(), [] { ConversionJournal::recover(); });
}

ConverterModel::~ConverterModel() {
    *m_stopSampling = true;
    for (const ConvertControlPtr& control : std::as_const(m_controls))
        control->cancel();
    // Destroying a job kills its ffmpeg without callbacks; its temporary output goes with the
    // OutputFile that held it.
    const QList<QUuid> ids = m_jobs.keys();
    for (const QUuid& id : ids)
        delete m_jobs.take(id);
    m_toolFiles.clear();
}

ConverterModel::Remembered ConverterModel::remembered() {
    return ConverterSettings::read();
}

void ConverterModel::restore() {
    const Remembered saved = remembered();
    for (auto it = saved.choice.begin(); it != saved.choice.end(); ++it)
        m_choice[it.key()] = it.value();
    m_quality = saved.quality;
    m_maxSize = saved.maxSize;
    m_folder = saved.folder;
}

void ConverterModel::store(const QString& key, const QVariant& value) {
    if (!m_persistent)
        return;
    UserDefaults::media().setValue(key, value);
}

// ---- state

int ConverterModel::row(const QUuid& id) const {
    return m_rows.value(id, -1);
}

std::optional<ConverterModel::Item> ConverterModel::item(const QUuid& id) const {
    const int index = row(id);
    if (index < 0)
        return std::nullopt;
    return m_items.at(index);
}

void ConverterModel::reindex(int from) {
    for (int index = from; index < m_items.size(); ++index)
        m_rows.insert(m_items.at(index).id, index);
}

QString ConverterModel::choice(ConvertKind kind) const {
    return m_choice.value(kind);
}

QList<ConvertKind> ConverterModel::kinds() const {
    QList<ConvertKind> result;
    for (ConvertKind kind : ConvertKind::all()) {
        for (const Item& entry : m_items) {
            if (entry.kind == kind && (entry.status.isWaiting() || entry.status.isRunning())) {
                result.append(kind);
                break;
            }
        }
    }
    return result;
}

int ConverterModel::pending() const {
    return int(std::count_if(m_items.begin(), m_items.end(),
                             [](const Item& entry) { return entry.status.isWaiting(); }));
}

bool ConverterModel::hasFinished() const {
    return std::any_of(m_items.begin(), m_items.end(),
                       [](const Item& entry) { return entry.status.finished(); });
}

std::optional<ConvertTarget> ConverterModel::target(ConvertKind kind) const {
    return ConvertTarget::byID(m_choice.value(kind));
}

// ---- adding

QStringList ConverterModel::expand(const QStringList& paths) {
    return FolderScan::expand(paths);
}

void ConverterModel::add(const QStringList& paths) {
    ++m_adding;
    QPointer<ConverterModel> self(this);
    // One thread walks: calls are answered in the order they came.
    (void)QtConcurrent::run(ConverterPools::scans(), [self, paths] {
        const FolderScan::Result result = FolderScan::scan(paths);
        QList<Item> found;
        found.reserve(result.files.size());
        for (const FolderScan::File& file : result.files) {
            Item entry;
            entry.url = file.path;
            entry.kind = file.kind;
            entry.size = file.size;
            entry.iconName = file.iconName;
            entry.genericIconName = file.genericIconName;
            found.append(entry);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, found, skipped = result.skipped] {
                if (self)
                    self->insertScanned(found, skipped);
            },
            Qt::QueuedConnection);
    });
}

void ConverterModel::insertScanned(const QList<Item>& found, int skipped) {
    Batch batch;
    batch.found = found;
    batch.skipped = skipped;
    m_insertQueue.append(batch);
    if (m_insertQueue.size() == 1)
        insertSome();
}

void ConverterModel::insertSome() {
    if (m_insertQueue.isEmpty())
        return;
    Batch& batch = m_insertQueue.first();
    // Files already waiting or running are not added twice.
    if (batch.queued.isEmpty()) {
        for (const Item& entry : std::as_const(m_items))
            if (entry.status.isWaiting() || entry.status.isRunning())
                batch.queued.insert(entry.url);
    }
    // A big folder goes in a slice at a time, so that the window stays responsive meanwhile.
    int taken = 0;
    while (batch.next < batch.found.size() && taken < kInsertSlice) {
        Item entry = batch.found.at(batch.next++);
        if (batch.queued.contains(entry.url))
            continue;
        batch.queued.insert(entry.url);
        entry.id = QUuid::createUuid();
        m_items.append(entry);
        m_rows.insert(entry.id, int(m_items.size()) - 1);
        ++taken;
        batch.inserted = true;
        Q_EMIT itemInserted(int(m_items.size()) - 1);
        if (entry.kind == ConvertKind::video || entry.kind == ConvertKind::audio)
            probeItem(entry.id, entry.url);
    }
    if (batch.next < batch.found.size()) {
        QMetaObject::invokeMethod(this, &ConverterModel::insertSome, Qt::QueuedConnection);
        return;
    }
    const bool inserted = batch.inserted;
    m_skipped = batch.skipped;
    m_insertQueue.removeFirst();
    --m_adding;
    Q_EMIT skippedChanged();
    if (inserted)
        Q_EMIT totalsChanged();
    Q_EMIT added();
    if (!m_insertQueue.isEmpty())
        QMetaObject::invokeMethod(this, &ConverterModel::insertSome, Qt::QueuedConnection);
}

void ConverterModel::probeItem(const QUuid& id, const QString& path) {
    FFmpeg::probe(path, this, [this, id](std::optional<FFmpeg::Probe> result) {
        const int index = row(id);
        if (index < 0)
            return;
        m_items[index].probe = std::move(result);
        m_items[index].probed = true;
        Q_EMIT itemChanged(index);
        Q_EMIT totalsChanged();
        measureNext();
    });
}

// ---- options

void ConverterModel::setChoice(const QString& targetId, ConvertKind kind) {
    if (m_choice.value(kind) != targetId) {
        m_choice[kind] = targetId;
        store(ConverterSettings::choiceKey(kind), targetId);
        Q_EMIT choiceChanged(kind);
        Q_EMIT estimatesChanged();
        Q_EMIT totalsChanged();
    }
    measureNext();
}

void ConverterModel::setQuality(ConvertQuality quality) {
    if (m_quality != quality) {
        m_quality = quality;
        store(ConverterSettings::qualityKey(), quality.id());
        Q_EMIT qualityChanged();
        Q_EMIT estimatesChanged();
        Q_EMIT totalsChanged();
    }
    measureNext();
}

void ConverterModel::setMaxSize(int maxSize) {
    maxSize = std::max(0, maxSize);
    if (m_maxSize != maxSize) {
        m_maxSize = maxSize;
        store(ConverterSettings::maxSizeKey(), maxSize);
        Q_EMIT maxSizeChanged();
        Q_EMIT estimatesChanged();
        Q_EMIT totalsChanged();
    }
    measureNext();
}

void ConverterModel::setFolder(const QString& folder) {
    const QString value =
        folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (m_folder == value)
        return;
    m_folder = value;
    if (value.isEmpty()) {
        if (m_persistent)
            UserDefaults::media().remove(ConverterSettings::folderKey());
    } else {
        store(ConverterSettings::folderKey(), value);
    }
    Q_EMIT folderChanged();
}

void ConverterModel::setCombinePDF(bool combine) {
    if (m_combinePDF == combine)
        return;
    m_combinePDF = combine;
    Q_EMIT combinePDFChanged();
}

// ---- removing

void ConverterModel::remove(const QUuid& id) {
    cancel(id);
    const int index = row(id);
    if (index < 0)
        return;
    const bool wasActive = m_items.at(index).status.isWaiting() || m_items.at(index).status.isRunning();
    m_items.removeAt(index);
    m_rows.remove(id);
    reindex(index);
    Q_EMIT itemRemoved(index);
    if (wasActive)
        Q_EMIT totalsChanged();
}

void ConverterModel::clearFinished() {
    QList<int> removed;
    for (int index = int(m_items.size()) - 1; index >= 0; --index) {
        if (m_items.at(index).status.finished()) {
            m_rows.remove(m_items.at(index).id);
            m_items.removeAt(index);
            removed.append(index);
        }
    }
    if (removed.isEmpty())
        return;
    reindex(removed.last());
    // From the bottom up, so each row is where the list was when it left.
    for (int index : std::as_const(removed))
        Q_EMIT itemRemoved(index);
}
