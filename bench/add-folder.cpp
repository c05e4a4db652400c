// bench-add-folder FOLDER: adds FOLDER to a converter window's model, as a drop does, and reports
// the longest stall of the main event loop and the time until every row is complete (its size
// known, and for videos and sounds their probe back).
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-add-folder FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);

    ConverterModel model;
    ConverterView view(model);
    view.resize(900, 700);
    view.show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    qint64 listed = -1;
    qint64 complete = -1;
    // A 1 ms ticker: the longest gap between its ticks is the longest the window could not answer.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
        if (model.adding() > 0 || model.items().isEmpty())
            return;
        if (listed < 0)
            listed = now;
        const bool done = std::all_of(model.items().begin(), model.items().end(), [](const auto& item) {
            return item.probed || !(item.kind == ConvertKind::video || item.kind == ConvertKind::audio);
        });
        if (done) {
            complete = now;
            QCoreApplication::quit();
        }
    });
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(1); });
    clock.start();
    ticker.start();
    model.add({folder});
    const int status = app.exec();
    std::printf("items %lld\nlisted_ms %lld\ncomplete_ms %lld\nlongest_stall_ms %lld\n",
                (long long)model.items().size(), (long long)listed, (long long)complete, (long long)worst);
    return status;
}
