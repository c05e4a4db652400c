#include "app/cli/ConvertCommand.h"

#include "common/MediaApp.h"
#include "converter/estimate/SizeText.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// The size of a file, or of every file in a folder (the pages of a PDF).
qint64 sizeOnDisk(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return info.exists() ? info.size() : 0;
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

QString statusId(const ConverterModel::Status& status) {
    switch (status.state) {
    case ConverterModel::Status::State::done:
        return QStringLiteral("done");
    case ConverterModel::Status::State::cancelled:
        return QStringLiteral("cancelled");
    default:
        return QStringLiteral("failed");
    }
}

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Async-signal-safe: the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

// ---- arguments

ConvertCommand::Parsed ConvertCommand::parse(const QStringList& arguments) {
    Parsed parsed;
    Options& options = parsed.options;
    bool onlyFiles = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (onlyFiles || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            options.inputs.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        QString value;
        bool hasValue = false;
        if (argument.startsWith(QLatin1String("--")) && argument.contains(QLatin1Char('='))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            value = argument.mid(equals + 1);
            argument = argument.left(equals);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size()) {
                parsed.error = argument + QStringLiteral(" needs a value.");
                return false;
            }
            value = arguments.at(++i);
            return true;
        };
        const auto noValue = [&]() -> bool {
            if (hasValue)
                parsed.error = argument + QStringLiteral(" takes no value.");
            return !hasValue;
        };

        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            if (!noValue())
                return parsed;
            options.help = true;
        } else if (argument == QLatin1String("--to")) {
            if (!takeValue())
                return parsed;
            options.to.append(value.trimmed());
        } else if (argument == QLatin1String("--quality")) {
            if (!takeValue())
                return parsed;
            options.quality = ConvertQuality::fromId(value.trimmed());
            if (!options.quality) {
                parsed.error = QStringLiteral("The quality must be best, balanced or small.");
                return parsed;
            }
        } else if (argument == QLatin1String("--size")) {
            if (!takeValue())
                return parsed;
            bool ok = false;
            const int size = value.trimmed().toInt(&ok);
            if (!ok || size < 0) {
                parsed.error =
                    QStringLiteral("The size must be a whole number of pixels, or 0 to keep the size.");
                return parsed;
            }
            options.maxSize = size;
        } else if (argument == QLatin1String("--folder")) {
            if (!takeValue())
                return parsed;
            if (value.isEmpty()) {
                parsed.error = QStringLiteral("--folder needs a folder.");
                return parsed;
            }
            options.folder = value;
        } else if (argument == QLatin1String("--combine-pdf")) {
            if (!noValue())
                return parsed;
            options.combinePDF = true;
        } else if (argument == QLatin1String("--estimate")) {
            if (!noValue())
                return parsed;
            options.estimate = true;
        } else if (argument == QLatin1String("--list")) {
            if (!noValue())
                return parsed;
            options.list = true;
        } else if (argument == QLatin1String("--json")) {
            if (!noValue())
                return parsed;
            options.json = true;
        } else {
            parsed.error = QStringLiteral("Unknown option ") + argument + QLatin1Char('.');
            return parsed;
        }
    }
    if (options.help || options.list)
        return parsed;
    QString error;
    choices(options.to, &error);
    if (!error.isEmpty()) {
        parsed.error = error;
        return parsed;
    }
    if (options.inputs.isEmpty())
        parsed.error = QStringLiteral("Name at least one file or folder to convert.");
    return parsed;
}

QMap<ConvertKind::Value, QString> ConvertCommand::choices(const QStringList& to, QString* error) {
    // How many kinds offer each id.
    QHash<QString, int> reach;
    for (const QString& id : to) {
        int count = 0;
        for (ConvertKind kind : ConvertKind::all())
            for (const ConvertTarget& target : ConvertTarget::targets(kind))
                if (target.id == id)
                    ++count;
        if (count == 0) {
            if (error)
                *error = QStringLiteral("No format has the id \"") + id +
                         QStringLiteral("\". quorvane-convert --list shows them.");
            return {};
        }
        reach.insert(id, count);
    }
    QMap<ConvertKind::Value, QString> result;
    for (ConvertKind kind : ConvertKind::all()) {
        QStringList offered;
        for (const ConvertTarget& target : ConvertTarget::targets(kind))
            if (to.contains(target.id) && !offered.contains(target.id))
                offered.append(target.id);
        if (offered.isEmpty())
            continue;
        std::sort(offered.begin(), offered.end(),
                  [&reach](const QString& a, const QString& b) { return reach.value(a) < reach.value(b); });
        if (offered.size() > 1 && reach.value(offered.at(0)) == reach.value(offered.at(1))) {
            if (error)
                *error = QStringLiteral("Both ") + offered.at(0) + QStringLiteral(" and ") + offered.at(1) +
                         QStringLiteral(" are formats for ") + kind.title().toLower() +
                         QStringLiteral(": give one --to per kind.");
            return {};
        }
        result.insert(kind, offered.first());
    }
    return result;
}

QString ConvertCommand::usage() {
    return QStringLiteral(
        "Usage: quorvane-convert [options] FILE|FOLDER...\n"
        "\n"
        "Converts videos, music, pictures, PDFs and documents into other formats. New files are\n"
        "saved next to the originals (or in --folder) and never overwrite anything: each is written\n"
        "under a hidden name and, if its name was taken meanwhile, saved under the next free one\n"
        "(the result line says which). Ctrl-C stops every conversion and removes what it wrote.\n"
        "\n"
        "Options:\n"
        "  --to ID                 the format for every kind of input that offers ID (once per kind;\n"
        "                          other kinds use the format last chosen in the window)\n"
        "  --quality best|balanced|small\n"
        "  --size N                largest output size in pixels (video height, picture side); 0 keeps it\n"
        "  --folder DIR            save the new files in DIR\n"
        "  --combine-pdf           combine the pictures into one PDF (with --to pdf)\n"
        "  --estimate              print each file's expected output size, convert nothing\n"
        "  --list                  list the formats per kind of input\n"
        "  --json                  one JSON object per line for each finished file\n"
        "  -h, --help              show this help\n"
        "\n"
        "Exit status: 0 when every file was converted, 1 when any failed or was stopped or\n"
        "nothing given could be converted, 2 for a usage error.\n");
}

QString ConvertCommand::formatList() {
    QString text;
    for (ConvertKind kind : ConvertKind::all()) {
        text += kind.title() + QStringLiteral(" (") + kind.id() + QStringLiteral("):\n");
        for (const ConvertTarget& target : ConvertTarget::targets(kind))
            text += QStringLiteral("  %1 %2\n  %3 %4\n")
                        .arg(target.id, -12)
                        .arg(target.title)
                        .arg(QString(), -12)
                        .arg(target.detail);
    }
    return text;
}

// ---- running

ConvertCommand::ConvertCommand(Options options, FILE* out, FILE* err, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_out(out)
    , m_err(err)
    , m_terminal(::isatty(::fileno(err)) == 1) {}

ConvertCommand::~ConvertCommand() = default;

void ConvertCommand::print(const QString& line) {
    clearProgress();
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), m_out);
    std::fflush(m_out);
    drawProgress(true);
}

void ConvertCommand::note(const QString& line) {
    clearProgress();
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), m_err);
    std::fflush(m_err);
    drawProgress(true);
}

bool ConvertCommand::applyOptions() {
    // The window's remembered choices are the defaults; nothing is written back.
    const ConverterModel::Remembered remembered = ConverterModel::remembered();
    for (auto it = remembered.choice.begin(); it != remembered.choice.end(); ++it)
        m_model->setChoice(it.value(), it.key());
    const QMap<ConvertKind::Value, QString> chosen = choices(m_options.to, nullptr);
    for (auto it = chosen.begin(); it != chosen.end(); ++it)
        m_model->setChoice(it.value(), it.key());
    m_model->setQuality(m_options.quality.value_or(remembered.quality));
    m_model->setMaxSize(m_options.maxSize.value_or(remembered.maxSize));
    if (!m_options.folder.isEmpty()) {
        if (!QFileInfo(m_options.folder).isDir()) {
            note(QStringLiteral("The folder ") + m_options.folder + QStringLiteral(" doesn't exist."));
            return false;
        }
        m_model->setFolder(m_options.folder);
    } else {
        m_model->setFolder(remembered.folder);
    }
    m_model->setCombinePDF(m_options.combinePDF);
    return true;
}

void ConvertCommand::start() {
    if (m_options.help) {
        std::fputs(usage().toUtf8().constData(), m_out);
        return end(success);
    }
    if (m_options.list) {
        std::fputs(formatList().toUtf8().constData(), m_out);
        return end(success);
    }

    m_model = new ConverterModel(this);
    if (!applyOptions())
        return end(usageError);

    for (const QString& input : std::as_const(m_options.inputs)) {
        if (!QFileInfo::exists(input)) {
            m_anyFailed = true;
            if (m_options.json) {
                QJsonObject object{
                    {QStringLiteral("input"), QFileInfo(input).absoluteFilePath()},
                    {QStringLiteral("kind"), QJsonValue()},
                    {QStringLiteral("target"), QJsonValue()},
                    {QStringLiteral("status"), QStringLiteral("failed")},
                    {QStringLiteral("output"), QJsonValue()},
                    {QStringLiteral("message"), QStringLiteral("There's no file or folder here.")},
                    {QStringLiteral("size"), QJsonValue()},
                    {QStringLiteral("estimate"), QJsonValue()}};
                print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
            } else {
                note(input + QStringLiteral(": There's no file or folder here."));
            }
        }
    }

    // Folders are walked in the background; the rest follows when the files are in the list.
    connect(m_model, &ConverterModel::added, this, &ConvertCommand::onAdded, Qt::SingleShotConnection);
    m_model->add(m_options.inputs);
}

void ConvertCommand::onAdded() {
    if (m_ended)
        return;
    if (m_interrupted)
        return end(failure);
    if (m_model->skipped() > 0)
        note(QString::number(m_model->skipped()) + QStringLiteral(" skipped (not a format ") +
             MediaApp::name() + QStringLiteral(" converts)"));
    if (m_model->items().isEmpty()) {
        note(QStringLiteral("Nothing to convert."));
        return end(failure);
    }

    connect(m_model, &ConverterModel::itemFinished, this, &ConvertCommand::onItemFinished);
    connect(m_model, &ConverterModel::itemChanged, this, [this](int) { drawProgress(false); });

    if (m_options.estimate) {
        connect(m_model, &ConverterModel::estimatesChanged, this, &ConvertCommand::checkEstimates);
        connect(m_model, &ConverterModel::itemChanged, this, &ConvertCommand::checkEstimates);
        if (m_terminal)
            note(QStringLiteral("Estimating sizes…"));
        checkEstimates();
        return;
    }
    connect(m_model, &ConverterModel::busyChanged, this, &ConvertCommand::checkDone);
    m_model->convertAll();
    checkDone();
}

void ConvertCommand::checkEstimates() {
    if (m_ended)
        return;
    if (m_interrupted)
        return end(failure);
    for (const ConverterModel::Item& item : m_model->items()) {
        const std::optional<ConvertTarget> target = m_model->target(item.kind);
        if (!item.probed && (item.kind == ConvertKind::video || item.kind == ConvertKind::audio))
            return;
        if (target && m_model->isEstimating(item, *target))
            return;
    }
    for (const ConverterModel::Item& item : m_model->items()) {
        const std::optional<ConvertTarget> target = m_model->target(item.kind);
        if (m_options.json) {
            const std::optional<qint64> estimate = target ? m_model->estimate(item, *target) : std::nullopt;
            QJsonObject object{{QStringLiteral("input"), item.url},
                               {QStringLiteral("kind"), item.kind.id()},
                               {QStringLiteral("target"), target ? QJsonValue(target->id) : QJsonValue()},
                               {QStringLiteral("status"), QStringLiteral("estimated")},
                               {QStringLiteral("size"), item.size},
                               {QStringLiteral("estimate"), estimate ? QJsonValue(*estimate) : QJsonValue()}};
            print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            print(fileName(item.url) + QStringLiteral(": ") + SizeText::itemLine(*m_model, item));
        }
    }
    if (!m_options.json) {
        for (ConvertKind kind : m_model->kinds()) {
            const std::optional<ConvertTarget> target = m_model->target(kind);
            const QString line = SizeText::sizeLine(*m_model, kind).text();
            print(kind.title() + QStringLiteral(" → ") + (target ? target->title : QStringLiteral("?")) +
                  QStringLiteral(": ") + (line.isEmpty() ? QStringLiteral("can't tell") : line) +
                  QStringLiteral(" (") +
                  SizeText::caption(m_model->originalTotal(kind)).section(QStringLiteral(" · "), 0, 0) +
                  QLatin1Char(')'));
        }
    }
    end(m_anyFailed ? failure : success);
}

QString ConvertCommand::jsonLine(const ConverterModel::Item& item, const QString& status) const {
    const std::optional<ConvertTarget> target = m_model->target(item.kind);
    const std::optional<qint64> estimate = target ? m_model->estimate(item, *target) : std::nullopt;
    const bool done = item.status.state == ConverterModel::Status::State::done;
    QJsonObject object{
        {QStringLiteral("input"), item.url},
        {QStringLiteral("kind"), item.kind.id()},
        {QStringLiteral("target"), target ? QJsonValue(target->id) : QJsonValue()},
        {QStringLiteral("status"), status},
        {QStringLiteral("output"), done ? QJsonValue(item.status.output) : QJsonValue()},
        {QStringLiteral("message"), item.status.state == ConverterModel::Status::State::failed
                                        ? QJsonValue(item.status.message)
                                        : QJsonValue()},
        {QStringLiteral("size"), done ? QJsonValue(sizeOnDisk(item.status.output)) : QJsonValue()},
        {QStringLiteral("estimate"), estimate ? QJsonValue(*estimate) : QJsonValue()}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void ConvertCommand::onItemFinished(const QUuid& id) {
    const std::optional<ConverterModel::Item> item = m_model->item(id);
    if (!item)
        return;
    const ConverterModel::Status& status = item->status;
    if (status.state == ConverterModel::Status::State::done)
        ++m_converted;
    else
        m_anyFailed = true;
    if (m_options.json) {
        print(jsonLine(*item, statusId(status)));
        return;
    }
    QString text;
    switch (status.state) {
    case ConverterModel::Status::State::done:
        text = QStringLiteral("Saved as ") + fileName(status.output);
        break;
    case ConverterModel::Status::State::failed:
        text = status.message;
        break;
    default:
        text = QStringLiteral("Stopped");
        break;
    }
    print(fileName(item->url) + QStringLiteral(": ") + text);
}

void ConvertCommand::checkDone() {
    if (m_ended || m_model->isBusy() || m_model->pending() > 0)
        return;
    // Let the finishing item's lines go out first.
    QTimer::singleShot(0, this, [this] {
        if (m_ended || m_model->isBusy() || m_model->pending() > 0)
            return;
        clearProgress();
        end(m_anyFailed || m_interrupted || m_converted == 0 ? failure : success);
    });
}

void ConvertCommand::interrupt() {
    if (m_ended || !m_model)
        return;
    if (!m_interrupted)
        note(QStringLiteral("Stopping…"));
    m_interrupted = true;
    if (m_options.estimate)
        return end(failure);
    m_model->cancelAll();
    checkDone();
}

void ConvertCommand::end(int status) {
    if (m_ended)
        return;
    m_ended = true;
    clearProgress();
    std::fflush(m_out);
    std::fflush(m_err);
    Q_EMIT finished(status);
}

// ---- live progress (a terminal only)

void ConvertCommand::clearProgress() {
    if (!m_terminal || m_drawnLines == 0)
        return;
    QByteArray codes;
    for (int i = 0; i < m_drawnLines; ++i)
        codes += "\033[1A\033[2K";
    codes += '\r';
    std::fputs(codes.constData(), m_err);
    std::fflush(m_err);
    m_drawnLines = 0;
}

void ConvertCommand::drawProgress(bool force) {
    if (!m_terminal || !m_model || m_ended || m_options.estimate)
        return;
    if (!force && m_lastDraw.isValid() && m_lastDraw.elapsed() < 100)
        return;
    m_lastDraw.start();
    clearProgress();
    QByteArray text;
    int lines = 0;
    for (const ConverterModel::Item& item : m_model->items()) {
        if (!item.status.isRunning())
            continue;
        const double fraction = std::clamp(item.status.fraction, 0.0, 1.0);
        const int width = 30;
        const int filled = int(fraction * width);
        QString name = fileName(item.url);
        if (name.size() > 40)
            name = name.left(19) + QStringLiteral("…") + name.right(20);
        const QString line = QStringLiteral("%1 [%2%3] %4%\n")
                                 .arg(name, -40)
                                 .arg(QString(filled, QLatin1Char('#')))
                                 .arg(QString(width - filled, QLatin1Char('-')))
                                 .arg(int(fraction * 100), 3);
        text += line.toUtf8();
        ++lines;
    }
    std::fputs(text.constData(), m_err);
    std::fflush(m_err);
    m_drawnLines = lines;
}

void ConvertCommand::handleSignals(ConvertCommand* command) {
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, command);
    QObject::connect(notifier, &QSocketNotifier::activated, command, [command] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        command->interrupt();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
