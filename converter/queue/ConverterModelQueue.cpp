// Converting: scheduling two at a time, starting each kind of conversion, ending and stopping.
#include "converter/queue/ConverterModel.h"

#include "common/Log.h"
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpegJob.h"
#include "converter/queue/ConverterPools.h"
#include "converter/queue/OutputFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtConcurrent/qtconcurrenttask.h>

namespace {

bool isFolderTarget(const ConvertTarget& target) {
    return target.id == QLatin1String("pdf-png") || target.id == QLatin1String("pdf-jpeg");
}

bool isTool(ConvertKind kind) {
    return kind == ConvertKind::video || kind == ConvertKind::audio;
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

// The status a blocking conversion's result gives; `saved` is where its output went.
ConverterModel::Status statusFor(const ConvertResult& result, const QString& saved) {
    if (!result)
        return ConverterModel::Status::done(saved);
    if (result->message == ConvertControl::cancelledText())
        return ConverterModel::Status::cancelled();
    return ConverterModel::Status::failed(result->message);
}

} // namespace

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
            Q_EMIT totalsChanged();
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
    // Building the PDF can take a while with many large pictures: it runs in the background like
    // every other picture conversion, and the pictures show as running meanwhile.
    const ConvertControlPtr control = ConvertControl::make();
    for (const QUuid& id : ids) {
        setStatus(id, Status::running(0));
        m_controls.insert(id, control);
    }
    if (m_running++ == 0)
        Q_EMIT busyChanged(true);

    const ConvertOptions options = this->options();
    QPointer<ConverterModel> self(this);
    const ConvertTarget target = *pdf;
    (void)QtConcurrent::run(
        ConverterPools::pictures(), [self, ids, inputs, output, options, target, control] {
            const ConvertResult result = ConverterEngine::picturesToPDF(inputs, output, options, control);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, ids, output, result, target, control] {
                    if (!self) {
                        ConverterEngine::release(output);
                        return;
                    }
                    const Status status = statusFor(result, control->saved());
                    // Every picture but the last ends here; the last goes through the common end.
                    for (int i = 0; i + 1 < ids.size(); ++i) {
                        self->m_controls.remove(ids.at(i));
                        self->setStatus(ids.at(i), status);
                    }
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
    // A name no one else in this process takes meanwhile; another process (or the user) may
    // still take it on disk, which the output's commit then steps around.
    const QString output = ConverterEngine::outputURL(entry.url, target, m_folder, isFolderTarget(target));
    m_controls.insert(id, ConvertControl::make());
    if (m_running++ == 0)
        Q_EMIT busyChanged(true);
    setStatus(id, Status::running(0));

    if (isTool(m_items.at(row(id)).kind))
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
    // The file may have changed since it was added: probe it again, ahead of the add-time probes,
    // and make the hidden temporary output on the same thread.
    const ConvertControlPtr control = m_controls.value(id);
    QPointer<ConverterModel> self(this);
    (void)QtConcurrent::task([self, id, target, output, control, url = entry.url] {
        std::optional<FFmpeg::Probe> probe = FFmpeg::probeBlocking(url);
        auto file = std::make_shared<OutputFile>(output, OutputFile::Kind::file, control);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, target, output, probe, file]() mutable {
                if (self)
                    self->launchTool(id, target, output, probe, file);
                else // removing our temporary file is the files pool's work
                    (void)QtConcurrent::run(ConverterPools::files(), [file = std::move(file)] {});
            },
            Qt::QueuedConnection);
    })
        .onThreadPool(*ConverterPools::probes())
        .withPriority(ConverterPools::kUrgent)
        .spawn();
}

void ConverterModel::launchTool(const QUuid& id, const ConvertTarget& target, const QString& output,
                                const std::optional<FFmpeg::Probe>& probe,
                                const std::shared_ptr<OutputFile>& file) {
    const int index = row(id);
    const ConvertControlPtr control = m_controls.value(id);
    const ConvertKind kind = index >= 0 ? m_items.at(index).kind : ConvertKind(ConvertKind::video);
    if (index < 0 || !control || control->isCancelled())
        return settleTool(id, target, output, file, Status::cancelled());
    if (!file->isValid())
        return settleTool(
            id, target, output, file,
            Status::failed(file->failure(QStringLiteral("The file couldn't be saved.")).message));
    if (kind == ConvertKind::video && target.output == ConvertKind::audio && probe &&
        probe->audio().isEmpty())
        return settleTool(id, target, output, file,
                          Status::failed(QStringLiteral("This video has no sound to save.")));
    if (kind == ConvertKind::video && probe && !probe->video())
        return settleTool(id, target, output, file,
                          Status::failed(QStringLiteral("No picture found in this file.")));

    const QString url = m_items.at(index).url;
    const QStringList arguments = ConverterEngine::ffmpegArguments(url, file->temporaryPath(), target, kind,
                                                                   probe ? &*probe : nullptr, options());
    const double duration = probe ? probe->duration() : 0;
    const double frames = probe && target.output == ConvertKind::image ? probe->frameCount() : 0;
    auto* job = new FFmpeg::Job(
        arguments, duration, frames,
        [this, id](double fraction) { setStatus(id, Status::running(fraction)); },
        [this, id, target, output](std::optional<QString> failure) {
            settleTool(id, target, output, m_toolFiles.take(id), statusForResult(failure, target, output));
        },
        this);
    m_jobs.insert(id, job);
    m_toolFiles.insert(id, file);
    if (const std::optional<QString> failure = job->start()) {
        m_jobs.remove(id);
        job->deleteLater();
        settleTool(id, target, output, m_toolFiles.take(id), Status::failed(*failure));
    }
}

void ConverterModel::settleTool(const QUuid& id, const ConvertTarget& target, const QString& output,
                                std::shared_ptr<OutputFile> file, const Status& status) {
    const int index = row(id);
    const ConvertKind kind = index >= 0 ? m_items.at(index).kind : ConvertKind(ConvertKind::video);
    // Giving the output its name, or removing what the tool wrote, is disk work: not here.
    QPointer<ConverterModel> self(this);
    (void)QtConcurrent::run(ConverterPools::files(), [self, id, kind, target, output, file,
                                                      status]() mutable {
        Status settled = status;
        if (status.state == Status::State::done && file) {
            if (file->commit())
                settled = Status::done(file->finalPath());
            else if (const ConvertError error = file->failure(QStringLiteral("The file couldn't be saved."));
                     error.message == ConvertControl::cancelledText())
                settled = Status::cancelled();
            else
                settled = Status::failed(error.message);
        }
        file.reset();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, kind, target, output, settled] {
                if (self)
                    self->finish(id, kind, target, output, settled);
                else
                    ConverterEngine::release(output);
            },
            Qt::QueuedConnection);
    });
}

void ConverterModel::startBackground(const QUuid& id, const ConvertTarget& target, const QString& output) {
    const Item entry = m_items.at(row(id));
    const ConvertKind kind = entry.kind;
    const ConvertOptions options = this->options();
    const ConvertControlPtr control = m_controls.value(id);
    QPointer<ConverterModel> self(this);
    QThreadPool* pool =
        kind == ConvertKind::document ? ConverterPools::documents() : ConverterPools::pictures();
    (void)QtConcurrent::run(pool, [self, id, kind, target, output, options, control, input = entry.url] {
        ConvertResult result;
        if (kind == ConvertKind::image)
            result = ConverterEngine::convertImage(input, output, target, options, control);
        else if (kind == ConvertKind::pdf)
            result = ConverterEngine::convertPDF(input, output, target, options, control);
        else
            result = ConverterEngine::convertDocument(input, output, target, control);
        // The model is only touched on the main thread, and only if it still exists there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, kind, target, output, result, control] {
                if (!self) {
                    ConverterEngine::release(output);
                    return;
                }
                self->finish(id, kind, target, output, statusFor(result, control->saved()));
            },
            Qt::QueuedConnection);
    });
}

void ConverterModel::finish(const QUuid& id, ConvertKind kind, const ConvertTarget& target,
                            const QString& output, const Status& status) {
    --m_running;
    if (FFmpeg::Job* job = m_jobs.take(id))
        job->deleteLater();
    m_controls.remove(id);
    // Nothing is deleted here: what a failed or cancelled conversion made was removed by its
    // output file, and nothing else is ours.
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
    if (!status.output.isEmpty())
        ConverterEngine::release(status.output);
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
    else if (const ConvertControlPtr control = m_controls.value(id))
        control->cancel(); // stopped at its next step, or before its job starts
}

void ConverterModel::cancelAll() {
    QList<QUuid> waiting;
    for (const Item& entry : std::as_const(m_items))
        if (entry.status.isWaiting())
            waiting.append(entry.id);
    for (const QUuid& id : waiting)
        setStatus(id, Status::cancelled());
    for (const ConvertControlPtr& control : std::as_const(m_controls))
        control->cancel();
    const QList<FFmpeg::Job*> jobs = m_jobs.values();
    for (FFmpeg::Job* job : jobs)
        job->cancel();
}
