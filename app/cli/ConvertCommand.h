#pragma once

#include "converter/catalogue/ConvertKind.h"
#include "converter/queue/ConverterModel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// The command-line converter `quorvane-convert`: parses its arguments, drives a ConverterModel of
// its own (which never writes the window's remembered choices) and prints progress, one line per
// finished file (or one JSON object with --json) and the skipped count. Main thread only; owns
// its model. Exit status: 0 when every file was converted, 1 when any failed or was cancelled
// or nothing given could be converted, 2 for a usage error.
class ConvertCommand : public QObject {
    Q_OBJECT

public:
    enum ExitStatus { success = 0, failure = 1, usageError = 2 };

    struct Options {
        QStringList inputs;
        // Target ids given with --to, in order.
        QStringList to;
        std::optional<ConvertQuality> quality;
        std::optional<int> maxSize;
        QString folder;
        bool combinePDF = false;
        bool estimate = false;
        bool list = false;
        bool json = false;
        bool help = false;
    };

    struct Parsed {
        Options options;
        // A usage error's sentence; empty when the arguments are fine.
        QString error;
    };

    // Parses the arguments after the program name.
    static Parsed parse(const QStringList& arguments);
    // The target id each kind gets from the --to ids: a kind takes the id it offers; when it
    // offers several, the one offered by the fewest kinds. None for a kind no id applies to.
    // Fills `error` when an id is unknown or two ids are equally fitting for one kind.
    static QMap<ConvertKind::Value, QString> choices(const QStringList& to, QString* error);
    static QString usage();
    // The formats per kind with titles and details (--list).
    static QString formatList();

    ConvertCommand(Options options, FILE* out, FILE* err, QObject* parent = nullptr);
    ~ConvertCommand() override;

    // Starts the work; `finished` is emitted once with the exit status.
    void start();
    // Ctrl-C: cancels everything; the command ends when every conversion has stopped.
    void interrupt();
    // Routes SIGINT and SIGTERM to `interrupt` of `command` through the event loop.
    static void handleSignals(ConvertCommand* command);

Q_SIGNALS:
    void finished(int status);

private:
    bool applyOptions();
    void onItemFinished(const QUuid& id);
    void onAdded();
    void checkEstimates();
    void checkDone();
    void end(int status);
    void print(const QString& line);
    void note(const QString& line);
    void drawProgress(bool force);
    void clearProgress();
    QString jsonLine(const ConverterModel::Item& item, const QString& status) const;

    Options m_options;
    FILE* m_out;
    FILE* m_err;
    ConverterModel* m_model = nullptr;
    bool m_terminal = false;
    bool m_interrupted = false;
    bool m_ended = false;
    bool m_anyFailed = false;
    int m_converted = 0;
    int m_drawnLines = 0;
    QElapsedTimer m_lastDraw;
    QSet<QUuid> m_announced;
    // The estimate of each item for its target when the conversion started.
    QHash<QUuid, std::optional<qint64>> m_estimates;
};
