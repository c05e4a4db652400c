#include "converter/queue/ConverterModel.h"

#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/UserDefaults.h"
#include "converter/queue/ConversionJournal.h"
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpegJob.h"
#include "converter/estimate/SizeSampler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// The converter's settings keys.
namespace Keys {
const QString quality = QStringLiteral("fx.converter.quality");
const QString maxSize = QStringLiteral("fx.converter.maxSize");
const QString folder = QStringLiteral("fx.converter.folder");
QString choice(ConvertKind kind) {
    return QStringLiteral("fx.converter.") + kind.id();
}
} // namespace Keys

QString standardized(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Folders the desktop shows as one file (application and document bundles): their insides are
// not the user's files.
bool isPackage(const QFileInfo& info) {
    static const QSet<QString> packages{
        QStringLiteral("app"),           QStringLiteral("bundle"),        QStringLiteral("framework"),
        QStringLiteral("plugin"),        QStringLiteral("photoslibrary"), QStringLiteral("fcpbundle"),
        QStringLiteral("imovielibrary"), QStringLiteral("rtfd"),          QStringLiteral("pages"),
        QStringLiteral("numbers"),       QStringLiteral("key"),           QStringLiteral("xcodeproj")};
    return packages.contains(info.suffix().toLower());
}

// Regular files at depth 1 and 2 under `folder`, in name order, hidden entries and packages left
// out; symbolic links to folders are not followed.
void walk(const QString& folder, int depth, QStringList& files) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(QLatin1Char('.')))
            continue;
        if (entry.isDir()) {
            if (depth < 2 && !entry.isSymLink() && !isPackage(entry))
                walk(entry.absoluteFilePath(), depth + 1, files);
        } else if (entry.isFile()) {
            files.append(standardized(entry.absoluteFilePath()));
        }
    }
}

bool deleteOutput(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

bool isFolderTarget(const ConvertTarget& target) {
    return target.id == QLatin1String("pdf-png") || target.id == QLatin1String("pdf-jpeg");
}

QString statusWord(const ConverterModel::Status& status) {
    switch (status.state) {
    case ConverterModel::Status::State::done:
        return QStringLiteral("done");
    case ConverterModel::Status::State::cancelled:
        return QStringLiteral("stopped");
    default:
        return QStringLiteral("failed");
    }
}

} // namespace

// ---- construction and settings

ConverterModel& ConverterModel::shared() {
    static QPointer<ConverterModel> instance;
    if (!instance) {
        instance = new ConverterModel(true, QCoreApplication::instance());
        // A measurement in progress must not hold up quitting.
        if (QCoreApplication::instance()) {
            auto stop = instance->m_stopSampling;
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                             [stop] { *stop = true; });
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
    // Outputs half-written by a run that crashed or was killed.
    ConversionJournal::recover();
    m_journal = std::make_unique<ConversionJournal>();
}

ConverterModel::~ConverterModel() {
    *m_stopSampling = true;
    // Destroying a job kills its ffmpeg without callbacks: its partial output is removed here.
    const QList<QUuid> ids = m_jobs.keys();
    for (const QUuid& id : ids) {
        delete m_jobs.take(id);
    }
    for (const QString& output : m_journal->unfinished()) {
        if (m_toolOutputs.contains(output)) {
            deleteOutput(output);
            m_journal->finished(output);
            ConverterEngine::release(output);
        }
    }
}

ConverterModel::Remembered ConverterModel::remembered() {
    UserDefaults& store = UserDefaults::media();
    Remembered result;
    for (ConvertKind kind : ConvertKind::all()) {
        const QList<ConvertTarget> targets = ConvertTarget::targets(kind);
        if (targets.isEmpty())
            continue;
        const QString stored = store.string(Keys::choice(kind));
        const bool known =
            std::any_of(targets.begin(), targets.end(),
                        [&stored](const ConvertTarget& target) { return target.id == stored; });
        result.choice[kind] = known ? stored : targets.first().id;
    }
    result.quality = ConvertQuality::fromId(store.string(Keys::quality)).value_or(ConvertQuality::balanced);
    const qint64 maxSize = store.integer(Keys::maxSize);
    result.maxSize = maxSize > 0 && maxSize <= std::numeric_limits<int>::max() ? int(maxSize) : 0;
    const QString folder = store.string(Keys::folder);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        result.folder = folder;
    return result;
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
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items.at(i).id == id)
            return i;
    return -1;
}

std::optional<ConverterModel::Item> ConverterModel::item(const QUuid& id) const {
    const int index = row(id);
    if (index < 0)
        return std::nullopt;
    return m_items.at(index);
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
    QStringList files;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        if (info.isDir())
            walk(info.absoluteFilePath(), 1, files);
        else if (info.isFile()) // not a pipe or a device: reading one to decide its kind could block
            files.append(standardized(path));
    }
    return files;
}

void ConverterModel::add(const QStringList& paths) {
    int notConvertible = 0;
    bool added = false;
    for (const QString& file : expand(paths)) {
        const bool queued = std::any_of(m_items.begin(), m_items.end(), [&file](const Item& entry) {
            return entry.url == file && (entry.status.isWaiting() || entry.status.isRunning());
        });
        if (queued)
            continue;
        const std::optional<ConvertKind> kind = ConvertKind::of(file);
        if (!kind) {
            ++notConvertible;
            continue;
        }
        Item entry;
        entry.id = QUuid::createUuid();
        entry.url = file;
        entry.kind = *kind;
        entry.size = std::max<qint64>(0, QFileInfo(file).size());
        m_items.append(entry);
        added = true;
        Q_EMIT itemInserted(int(m_items.size()) - 1);
        if (entry.kind == ConvertKind::video || entry.kind == ConvertKind::audio)
            probeItem(entry.id, file);
    }
    m_skipped = notConvertible;
    Q_EMIT skippedChanged();
    if (added)
        Q_EMIT estimatesChanged();
}

void ConverterModel::probeItem(const QUuid& id, const QString& path) {
    FFmpeg::probe(path, this, [this, id](std::optional<FFmpeg::Probe> result) {
        const int index = row(id);
        if (index < 0)
            return;
        m_items[index].probe = std::move(result);
        m_items[index].probed = true;
        Q_EMIT itemChanged(index);
        Q_EMIT estimatesChanged();
        measureNext();
    });
}

// ---- options

void ConverterModel::setChoice(const QString& targetId, ConvertKind kind) {
    if (m_choice.value(kind) != targetId) {
        m_choice[kind] = targetId;
        store(Keys::choice(kind), targetId);
        Q_EMIT choiceChanged(kind);
        Q_EMIT estimatesChanged();
    }
    measureNext();
}

void ConverterModel::setQuality(ConvertQuality quality) {
    if (m_quality != quality) {
        m_quality = quality;
        store(Keys::quality, quality.id());
        Q_EMIT qualityChanged();
        Q_EMIT estimatesChanged();
    }
    measureNext();
}

void ConverterModel::setMaxSize(int maxSize) {
    maxSize = std::max(0, maxSize);
    if (m_maxSize != maxSize) {
        m_maxSize = maxSize;
        store(Keys::maxSize, maxSize);
        Q_EMIT maxSizeChanged();
        Q_EMIT estimatesChanged();
    }
    measureNext();
}

void ConverterModel::setFolder(const QString& folder) {
    const QString value = folder.isEmpty() ? QString() : standardized(folder);
    if (m_folder == value)
        return;
    m_folder = value;
    if (value.isEmpty()) {
        if (m_persistent)
            UserDefaults::media().remove(Keys::folder);
    } else {
        store(Keys::folder, value);
    }
    Q_EMIT folderChanged();
}

void ConverterModel::setCombinePDF(bool combine) {
    if (m_combinePDF == combine)
        return;
    m_combinePDF = combine;
    Q_EMIT combinePDFChanged();
}

// ---- converting

void ConverterModel::setStatus(const QUuid& id, const Status& status) {
    const int index = row(id);
    if (index < 0 || m_items.at(index).status == status)
        return;
    const bool wasActive = m_items.at(index).status.isWaiting() || m_items.at(index).status.isRunning();
    m_items[index].status = status;
    Q_EMIT itemChanged(index);
    if (status.finished()) {
        Q_EMIT itemFinished(id);
        if (wasActive)
            Q_EMIT estimatesChanged();
    }
}

void ConverterModel::convertAll() {
    combinePictures();
    startNext();
}

void ConverterModel::combinePictures() {
    if (!m_combinePDF || m_choice.value(ConvertKind::image) != QLatin1String("pdf"))
        return;
    QList<QUuid> ids;
    QStringList inputs;
    for (const Item& entry : std::as_const(m_items)) {
        if (entry.kind == ConvertKind::image && entry.status.isWaiting()) {
            ids.append(entry.id);
            inputs.append(entry.url);
        }
    }
    if (ids.size() < 2)
        return;
    const std::optional<ConvertTarget> pdf = ConvertTarget::byID(QStringLiteral("pdf"));
    if (!pdf)
        return;
    const QString firstFolder = QFileInfo(inputs.first()).absolutePath();
    const QString proposed = firstFolder + QStringLiteral("/Pictures.pdf");
    const QString output =
        ConverterEngine::outputURL(proposed, *pdf, m_folder.isEmpty() ? firstFolder : m_folder, false);
    m_journal->reserve(output);
    // Building the PDF can take a while with many large pictures: it runs in the background like
    // every other picture conversion, and the pictures show as running meanwhile.
    for (const QUuid& id : ids)
        setStatus(id, Status::running(0));
    if (m_running++ == 0)
        Q_EMIT busyChanged(true);

    const ConvertOptions options = this->options();
    QPointer<ConverterModel> self(this);
    const ConvertTarget target = *pdf;
    (void)QtConcurrent::run([self, ids, inputs, output, options, target] {
        const ConvertResult result = ConverterEngine::picturesToPDF(inputs, output, options);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, ids, output, result, target] {
                if (!self) {
                    ConverterEngine::release(output);
                    return;
                }
                const Status status = result ? Status::failed(result->message) : Status::done(output);
                // Every picture but the last ends here; the last goes through the common end.
                for (int i = 0; i + 1 < ids.size(); ++i)
                    self->setStatus(ids.at(i), status);
                self->finish(ids.last(), ConvertKind::image, target, output, status);
            },
            Qt::QueuedConnection);
    });
}

void ConverterModel::startNext() {
    while (m_running < 2) {
        const auto next = std::find_if(m_items.begin(), m_items.end(),
                                       [](const Item& entry) { return entry.status.isWaiting(); });
        if (next == m_items.end())
            return;
        const QUuid id = next->id;
        const std::optional<ConvertTarget> chosen = target(next->kind);
        if (!chosen) {
            setStatus(id, Status::failed(QStringLiteral("Choose a format first.")));
            continue;
        }
        start(id, *chosen);
    }
}

void ConverterModel::start(const QUuid& id, const ConvertTarget& target) {
    const int index = row(id);
    if (index < 0)
        return;
    const Item& entry = m_items.at(index);
    const QString output = ConverterEngine::outputURL(entry.url, target, m_folder, isFolderTarget(target));
    m_journal->reserve(output);
    if (m_running++ == 0)
        Q_EMIT busyChanged(true);
    setStatus(id, Status::running(0));

    const ConvertKind kind = m_items.at(row(id)).kind;
    if (kind == ConvertKind::video || kind == ConvertKind::audio)
        startTool(id, target, output);
    else
        startBackground(id, target, output);
}

void ConverterModel::startTool(const QUuid& id, const ConvertTarget& target, const QString& output) {
    const Item entry = m_items.at(row(id));
    const ConvertKind kind = entry.kind;
    if (!FFmpeg::available()) {
        // Ended on the next turn so that a long queue does not recurse through startNext.
        QMetaObject::invokeMethod(
            this,
            [this, id, kind, target, output] {
                finish(id, kind, target, output, Status::failed(ffmpegMissingMessage()));
            },
            Qt::QueuedConnection);
        return;
    }
    m_toolOutputs.insert(output);
    const ConvertOptions options = this->options();
    FFmpeg::probe(
        entry.url, this,
        [this, id, kind, target, output, options, url = entry.url](std::optional<FFmpeg::Probe> probe) {
            if (row(id) < 0 || m_stopRequested.contains(id)) {
                finish(id, kind, target, output, Status::cancelled());
                return;
            }
            if (kind == ConvertKind::video && target.output == ConvertKind::audio && probe &&
                probe->audio().isEmpty()) {
                finish(id, kind, target, output,
                       Status::failed(QStringLiteral("This video has no sound to save.")));
                return;
            }
            if (kind == ConvertKind::video && probe && !probe->video()) {
                finish(id, kind, target, output,
                       Status::failed(QStringLiteral("No picture found in this file.")));
                return;
            }
            const QStringList arguments = ConverterEngine::ffmpegArguments(
                url, output, target, kind, probe ? &*probe : nullptr, options);
            const double duration = probe ? probe->duration() : 0;
            const double frames = probe && target.output == ConvertKind::image ? probe->frameCount() : 0;
            auto* job = new FFmpeg::Job(
                arguments, duration, frames,
                [this, id](double fraction) { setStatus(id, Status::running(fraction)); },
                [this, id, kind, target, output](std::optional<QString> failure) {
                    finish(id, kind, target, output, statusForResult(failure, target, output));
                },
                this);
            m_jobs.insert(id, job);
            if (const std::optional<QString> failure = job->start()) {
                m_jobs.remove(id);
                job->deleteLater();
                finish(id, kind, target, output, Status::failed(*failure));
            }
        });
}

void ConverterModel::startBackground(const QUuid& id, const ConvertTarget& target, const QString& output) {
    const Item entry = m_items.at(row(id));
    const ConvertKind kind = entry.kind;
    const ConvertOptions options = this->options();
    QPointer<ConverterModel> self(this);
    (void)QtConcurrent::run([self, id, kind, target, output, options, input = entry.url] {
        ConvertResult result;
        if (kind == ConvertKind::image)
            result = ConverterEngine::convertImage(input, output, target, options);
        else if (kind == ConvertKind::pdf)
            result = ConverterEngine::convertPDF(input, output, target, options);
        else
            result = ConverterEngine::convertDocument(input, output, target);
        // The model is only touched on the main thread, and only if it still exists there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, kind, target, output, result] {
                if (!self) {
                    ConverterEngine::release(output);
                    return;
                }
                self->finish(id, kind, target, output,
                             result ? Status::failed(result->message) : Status::done(output));
            },
            Qt::QueuedConnection);
    });
}

ConverterModel::Status ConverterModel::statusForResult(const std::optional<QString>& failure,
                                                       const ConvertTarget& target, const QString& output) {
    if (!failure)
        return Status::done(output);
    if (*failure == QLatin1String("Cancelled"))
        return Status::cancelled();
    const QString text = failure->toLower();
    if (target.id == QLatin1String("mp4-copy") &&
        (text.contains(QLatin1String("codec")) || text.contains(QLatin1String("not supported")) ||
         text.contains(QLatin1String("could not find tag"))))
        return Status::failed(QStringLiteral(
            "This video's format can't go into MP4 without converting. Choose MP4 (H.264) instead."));
    if (text.contains(QLatin1String("no space left")))
        return Status::failed(QStringLiteral("The disk is full."));
    if (text.contains(QLatin1String("permission denied")))
        return Status::failed(
            MediaApp::name() +
            QStringLiteral(" isn't allowed to save in that folder. Choose another folder."));
    if (text.contains(QLatin1String("invalid data")))
        return Status::failed(
            QStringLiteral("This file looks damaged or isn't really a video or audio file."));
    const QStringList lines = failure->split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (!line.trimmed().isEmpty())
            return Status::failed(line);
    return Status::failed(*failure);
}

QString ConverterModel::ffmpegMissingMessage() {
    return QStringLiteral("The converter's FFmpeg is missing from ") + MediaApp::name() +
           QStringLiteral(". Reinstall ") + MediaApp::name() + QLatin1Char('.');
}

void ConverterModel::finish(const QUuid& id, ConvertKind kind, const ConvertTarget& target,
                            const QString& output, const Status& status) {
    --m_running;
    if (FFmpeg::Job* job = m_jobs.take(id))
        job->deleteLater();
    m_stopRequested.remove(id);
    m_toolOutputs.remove(output);
    if (status.state == Status::State::failed || status.state == Status::State::cancelled)
        deleteOutput(output);
    m_journal->finished(output);
    setStatus(id, status);
    if (m_running == 0)
        Q_EMIT busyChanged(false);
    Log::info(Log::Area::app, QStringLiteral("Converter: ") + kind.id() + QStringLiteral(" → ") + target.id +
                                  QLatin1Char(' ') + statusWord(status));
    startNext();
    // Measuring resumes only when the queue has nothing left to start, so that a measurement
    // never competes with a conversion.
    if (m_running == 0)
        measureNext();
    ConverterEngine::release(output);
}

void ConverterModel::cancel(const QUuid& id) {
    if (FFmpeg::Job* job = m_jobs.value(id)) {
        job->cancel();
        return;
    }
    const int index = row(id);
    if (index < 0)
        return;
    const Status& status = m_items.at(index).status;
    if (status.isWaiting())
        setStatus(id, Status::cancelled());
    else if (status.isRunning() &&
             (m_items.at(index).kind == ConvertKind::video || m_items.at(index).kind == ConvertKind::audio))
        m_stopRequested.insert(id); // still re-probing: stopped before its job starts
}

void ConverterModel::cancelAll() {
    QList<QUuid> waiting;
    QList<QUuid> starting;
    for (const Item& entry : std::as_const(m_items)) {
        if (entry.status.isWaiting())
            waiting.append(entry.id);
        else if (entry.status.isRunning() && !m_jobs.contains(entry.id) &&
                 (entry.kind == ConvertKind::video || entry.kind == ConvertKind::audio))
            starting.append(entry.id);
    }
    for (const QUuid& id : waiting)
        setStatus(id, Status::cancelled());
    for (const QUuid& id : starting)
        m_stopRequested.insert(id);
    const QList<FFmpeg::Job*> jobs = m_jobs.values();
    for (FFmpeg::Job* job : jobs)
        job->cancel();
}

void ConverterModel::remove(const QUuid& id) {
    cancel(id);
    const int index = row(id);
    if (index < 0)
        return;
    const bool wasActive = m_items.at(index).status.isWaiting() || m_items.at(index).status.isRunning();
    m_items.removeAt(index);
    Q_EMIT itemRemoved(index);
    if (wasActive)
        Q_EMIT estimatesChanged();
}

void ConverterModel::clearFinished() {
    for (int index = int(m_items.size()) - 1; index >= 0; --index) {
        if (m_items.at(index).status.finished()) {
            m_items.removeAt(index);
            Q_EMIT itemRemoved(index);
        }
    }
}

// ---- size estimates

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
        (void)QtConcurrent::run([self, key, url = entry.url, probe = *entry.probe, target = *target,
                                 options = options(), stop = m_stopSampling] {
            const std::optional<qint64> size =
                SizeSampler::measure(url, probe.duration(), target, &probe, options, stop);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, key, size] {
                    if (!self)
                        return;
                    self->m_sampling = false;
                    if (size)
                        self->m_sampled.insert(key, *size);
                    else
                        self->m_failedSamples.insert(key);
                    Q_EMIT self->estimatesChanged();
                    self->measureNext();
                },
                Qt::QueuedConnection);
        });
        return;
    }
}
