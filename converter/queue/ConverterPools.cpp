#include "converter/queue/ConverterPools.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace {

QThreadPool* make(int threads, QThread::Priority priority = QThread::InheritPriority) {
    auto* pool = new QThreadPool;
    pool->setMaxThreadCount(threads);
    pool->setThreadPriority(priority);
    return pool;
}

} // namespace

namespace ConverterPools {

QThreadPool* scans() {
    static QThreadPool* pool = make(1);
    return pool;
}

QThreadPool* files() {
    static QThreadPool* pool = make(2);
    return pool;
}

QThreadPool* probes() {
    static QThreadPool* pool = make(4);
    return pool;
}

QThreadPool* measurements() {
    static QThreadPool* pool = make(1, QThread::LowestPriority);
    return pool;
}

QThreadPool* pictures() {
    static QThreadPool* pool = make(std::max(2, QThread::idealThreadCount()));
    return pool;
}

QThreadPool* documents() {
    static QThreadPool* pool = make(2);
    return pool;
}

} // namespace ConverterPools
