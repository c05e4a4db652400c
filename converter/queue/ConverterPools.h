#pragma once

class QThreadPool;

// The converter's background threads, one bounded pool per kind of work so that no kind waits
// behind another: a size measurement never holds up a picture, and a document never holds up a
// probe. The pools are never destroyed: work still running at exit must not hold up quitting.
// Any thread.
namespace ConverterPools {

// Folder walks and content sniffing for adding files: one thread, so additions keep their order.
QThreadPool* scans();
// The journal's recovery, committing and removing outputs.
QThreadPool* files();
// ffprobe runs: add-time probes, and the re-probe at Convert, which goes first (`urgent`).
QThreadPool* probes();
constexpr int kUrgent = 10;
// Size measurements: one at a time, at the lowest priority.
QThreadPool* measurements();
// Pictures and PDFs (CPU-bound: one thread per core).
QThreadPool* pictures();
// Documents: the office worker takes them one at a time; these threads only wait for it.
QThreadPool* documents();

} // namespace ConverterPools
