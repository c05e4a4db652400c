#pragma once

#include "converter/catalogue/ConvertControl.h"
#include "converter/catalogue/ConvertKind.h"
#include "converter/catalogue/ConvertOptions.h"
#include "converter/catalogue/ConvertQuality.h"
#include "converter/catalogue/ConvertTarget.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/ConverterSettings.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <memory>
#include <optional>

class OutputFile;
namespace FFmpeg {
class Job;
}

// The converter's single, observable state: the queue of files, the chosen output format per
// kind of input, quality, size limit and output folder, the running jobs and the size estimates.
// It accepts files (expanding folders), probes videos and sounds, converts two at a time into free
// output names, turns tool failures into plain-language sentences, and removes what a failed or
// cancelled conversion made (never anything else).
//
// Main thread only: every member is read and changed on the thread that created the model, and
// nothing here touches the disk on that thread beyond a stat. Folder walks, probes, measurements,
// conversions and the recovery of a crashed run's leftovers run in bounded pools
// (ConverterPools) and report back through queued calls that check the model still exists and
// the item is still current. Every output is written under a hidden temporary name and appears
// under its real name only when complete (OutputFile), journalled so a crash's half-written files
// are removed at the next start.
//
// `shared()` is the application's instance (a child of the QCoreApplication, created on first
// use on the main thread): it reads its choices from the settings store and writes them back on
// every change. Creating any model first removes the leftovers of ended runs, in the background.
// Instances made with the public constructor (tests, the command-line converter) never read or
// write the settings; callers may apply `remembered()`.
class ConverterModel : public QObject {
    Q_OBJECT

public:
    // What happened to an item. Equality compares the case and its value.
    struct Status {
        enum class State { running, done, failed, waiting, cancelled };

        State state = State::waiting;
        double fraction = 0; // running: 0…1
        QString output;      // done: the output file or folder
        QString message;     // failed: the sentence shown under the item

        static Status running(double fraction) { return {State::running, fraction, {}, {}}; }
        static Status done(const QString& output) { return {State::done, 0, output, {}}; }
        static Status failed(const QString& message) { return {State::failed, 0, {}, message}; }
        static Status waiting() { return {}; }
        static Status cancelled() { return {State::cancelled, 0, {}, {}}; }

        bool isRunning() const { return state == State::running; }
        bool isWaiting() const { return state == State::waiting; }
        // done, failed or cancelled.
        bool finished() const {
            return state == State::done || state == State::failed || state == State::cancelled;
        }
        bool operator==(const Status& other) const = default;
    };

    // One file of the queue, identified by `id`.
    struct Item {
        QUuid id;
        // The input file's path.
        QString url;
        ConvertKind kind = ConvertKind::video;
        Status status;
        // The input's size in bytes when added (0 when it cannot be read).
        qint64 size = 0;
        // Filled after probing (video and audio only).
        std::optional<FFmpeg::Probe> probe;
        // True once the probe has returned, even with no result.
        bool probed = false;
        // The icon theme's names for the file's type (found when it was added).
        QString iconName;
        QString genericIconName;
    };

    // The estimate of a kind's waiting and running items for one target.
    struct Total {
        qint64 bytes = 0;
        // Some item has an estimate.
        bool any = false;
        // Some item's estimate is still to come.
        bool pending = false;
        bool operator==(const Total& other) const = default;
    };

    // The choices remembered in the settings store.
    using Remembered = ConverterSettings::Remembered;

    // The application's instance (created on first use; reads and writes the settings).
    static ConverterModel& shared();
    // A model that never touches the settings store: every kind starts on its first target,
    // quality balanced, size kept, outputs next to the originals.
    explicit ConverterModel(QObject* parent = nullptr);
    ~ConverterModel() override;

    // The remembered choices as the window would restore them (unknown ids replaced by the kind's
    // first target, a folder only when it exists). Reads the store, writes nothing.
    static Remembered remembered();

    // ---- state

    const QList<Item>& items() const { return m_items; }
    // The row of the item with that id, or -1.
    int row(const QUuid& id) const;
    // The item with that id, or none.
    std::optional<Item> item(const QUuid& id) const;

    QString choice(ConvertKind kind) const;
    ConvertQuality quality() const { return m_quality; }
    int maxSize() const { return m_maxSize; }
    // Empty = "Save next to the originals".
    QString folder() const { return m_folder; }
    bool combinePDF() const { return m_combinePDF; }
    // How many files of the most recent `add` were not convertible.
    int skipped() const { return m_skipped; }

    // ---- derived values

    // Kinds (in ConvertKind order) with at least one item waiting or running.
    QList<ConvertKind> kinds() const;
    // The number of waiting items.
    int pending() const;
    // Conversions started and not yet finished.
    int running() const { return m_running; }
    bool isBusy() const { return m_running > 0; }
    bool hasFinished() const;
    std::optional<ConvertTarget> target(ConvertKind kind) const;
    ConvertOptions options() const { return {m_quality, m_maxSize}; }

    // ---- operations

    // Adds files and folders (folders expanded to depth 2, hidden files and package insides left
    // out, items already waiting or running left out); `skipped` is replaced by this call's
    // count of files that are not convertible. The folders are walked in the background, in the
    // order the calls came; `added` follows when the items are in the list. Probes video and
    // audio items in the background.
    void add(const QStringList& paths);
    // Calls of `add` whose items are not in the list yet.
    int adding() const { return m_adding; }
    void setChoice(const QString& targetId, ConvertKind kind);
    void setQuality(ConvertQuality quality);
    void setMaxSize(int maxSize);
    // Empty = next to the originals.
    void setFolder(const QString& folder);
    void setCombinePDF(bool combine);
    // With `combinePDF` on and PDF chosen for pictures, two or more waiting pictures become one
    // "Pictures.pdf" (built in the background; they show as running meanwhile). Then starts the
    // queue: at most two conversions at a time, in list order.
    void convertAll();
    // A waiting item becomes cancelled at once; a running conversion is stopped (ffmpeg at once,
    // a picture, PDF or document at its next step) and the item becomes cancelled when it has
    // stopped, with nothing of its output left.
    void cancel(const QUuid& id);
    void cancelAll();
    // Cancels the item and takes it out of the list.
    void remove(const QUuid& id);
    // Takes every finished item out of the list.
    void clearFinished();

    // ---- size estimates

    // The expected output size of an item as a target: calculated, measured, or none.
    std::optional<qint64> estimate(const Item& item, const ConvertTarget& target) const;
    // Whether an estimate is still to come for the item as the target.
    bool isEstimating(const Item& item, const ConvertTarget& target) const;
    Total estimatedTotal(ConvertKind kind, const ConvertTarget& target) const;
    // The sum of the source sizes of the kind's waiting and running items.
    qint64 originalTotal(ConvertKind kind) const;
    // A measurement is in progress.
    bool isSampling() const { return m_sampling; }
    const QHash<QString, qint64>& sampled() const { return m_sampled; }
    const QSet<QString>& failedSamples() const { return m_failedSamples; }
    // id "|" target id "|" quality "|" maxSize.
    static QString sampleKey(const QUuid& id, const QString& targetId, const ConvertOptions& options);

    // ---- pure parts, exposed for tests

    // The files `add` takes from these paths, in order (folders walked to depth 2). Blocking.
    static QStringList expand(const QStringList& paths);
    // The status a finished ffmpeg job's result (none = success) gives.
    static Status statusForResult(const std::optional<QString>& failure, const ConvertTarget& target,
                                  const QString& output);
    // The sentence for a missing FFmpeg.
    static QString ffmpegMissingMessage();

Q_SIGNALS:
    void itemInserted(int row);
    // A call of `add` is done: its items are in the list and `skipped` is its count.
    void added();
    // Emitted after the item left the list; `row` is where it was.
    void itemRemoved(int row);
    // Status, progress, size or probe of the item at `row` changed.
    void itemChanged(int row);
    // The item reached done, failed or cancelled (after `itemChanged`).
    void itemFinished(const QUuid& id);
    void choiceChanged(ConvertKind::Value kind);
    void qualityChanged();
    void maxSizeChanged();
    void folderChanged();
    void combinePDFChanged();
    void skippedChanged();
    // Estimates of every item may have changed (a choice, the quality, the size limit). A probe
    // or a measurement changes one item: `itemChanged` for its row, then `totalsChanged`.
    void estimatesChanged();
    // The totals per kind may have changed.
    void totalsChanged();
    void busyChanged(bool busy);

private:
    ConverterModel(bool persistent, QObject* parent);
    void restore();
    void store(const QString& key, const QVariant& value);
    void insertScanned(const QList<Item>& found, int skipped);
    void insertSome();
    void reindex(int from);
    void setStatus(const QUuid& id, const Status& status);
    void startNext();
    void start(const QUuid& id, const ConvertTarget& target);
    void startTool(const QUuid& id, const ConvertTarget& target, const QString& output);
    void launchTool(const QUuid& id, const ConvertTarget& target, const QString& output,
                    const std::optional<FFmpeg::Probe>& probe, const std::shared_ptr<OutputFile>& file);
    void settleTool(const QUuid& id, const ConvertTarget& target, const QString& output,
                    std::shared_ptr<OutputFile> file, const Status& status);
    void startBackground(const QUuid& id, const ConvertTarget& target, const QString& output);
    void finish(const QUuid& id, ConvertKind kind, const ConvertTarget& target, const QString& output,
                const Status& status);
    void combinePictures();
    void measureNext();
    void probeItem(const QUuid& id, const QString& path);
    void estimateChanged(const QUuid& id);

    bool m_persistent = false;
    QList<Item> m_items;
    // id → row in m_items, kept in step with every insertion and removal.
    QHash<QUuid, int> m_rows;
    QMap<ConvertKind::Value, QString> m_choice;
    ConvertQuality m_quality = ConvertQuality::balanced;
    int m_maxSize = 0;
    QString m_folder;
    bool m_combinePDF = false;
    int m_skipped = 0;
    int m_adding = 0;
    // Scanned files on their way into the list, a slice per event-loop turn.
    struct Batch {
        QList<Item> found;
        int skipped = 0;
        qsizetype next = 0;
        bool inserted = false;
        QSet<QString> queued;
    };
    static constexpr int kInsertSlice = 10;
    QList<Batch> m_insertQueue;
    // Running tool jobs; the map keeps each job alive until it finishes.
    QHash<QUuid, FFmpeg::Job*> m_jobs;
    // The temporary outputs of running tool jobs.
    QHash<QUuid, std::shared_ptr<OutputFile>> m_toolFiles;
    // How each running conversion is stopped.
    QHash<QUuid, ConvertControlPtr> m_controls;
    QHash<QString, qint64> m_sampled;
    QSet<QString> m_failedSamples;
    bool m_sampling = false;
    int m_running = 0;
    // Set when the model goes away: ends a measurement's ffmpeg early.
    std::shared_ptr<std::atomic_bool> m_stopSampling;
};
