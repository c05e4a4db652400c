#pragma once

#include "converter/catalogue/ConvertControl.h"
#include "converter/catalogue/ConvertError.h"
#include "converter/catalogue/ConvertKind.h"
#include "converter/catalogue/ConvertOptions.h"
#include "converter/catalogue/ConvertTarget.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace FFmpeg {
struct Probe;
}

// The converter's pure and blocking operations. Nothing here touches a model; the queue calls
// them and reports back on the main thread. Paths are local file-system paths.
namespace ConverterEngine {

// ---- ffmpeg arguments (ConverterEngineArguments.cpp)

// The exact `ffmpeg` argument list (after the job's common prefix) for a video, audio or
// animated-GIF target: "-i", input, the target's block, output. `probe` may be null.
QStringList ffmpegArguments(const QString& input, const QString& output, const ConvertTarget& target,
                            ConvertKind kind, const FFmpeg::Probe* probe, const ConvertOptions& options);
// FFmpeg's name of the target's container, given with "-f" before the output.
QString muxer(const ConvertTarget& target);

// ---- pictures and PDFs (ConverterEngineImages.cpp, ConverterEnginePdf.cpp)
// Blocking; call from a background thread. Each call works on its own objects only.

// `output` is the name wanted; the output is written under a hidden temporary name and takes the
// next free name when that one was taken meanwhile (`control` reports which, and can stop the
// conversion before anything becomes visible). A failure removes only what the call made.

ConvertResult convertImage(const QString& input, const QString& output, const ConvertTarget& target,
                           const ConvertOptions& options, const ConvertControlPtr& control = {});
// One page per readable picture, each page the picture's pixel size in points.
ConvertResult picturesToPDF(const QStringList& inputs, const QString& output, const ConvertOptions& options,
                            const ConvertControlPtr& control = {});
// pdf-png / pdf-jpeg (output is a folder), pdf-docx, pdf-txt.
ConvertResult convertPDF(const QString& input, const QString& output, const ConvertTarget& target,
                         const ConvertOptions& options, const ConvertControlPtr& control = {});

// ---- documents (ConverterEngineDocuments.cpp), through the office worker process
// Blocking; call from a background thread; thread-safe (requests queue in the worker).

ConvertResult convertDocument(const QString& input, const QString& output, const ConvertTarget& target,
                              const ConvertControlPtr& control = {});
// The PDF's text page by page with basic formatting, written as a .docx.
ConvertResult pdfToDocx(const QString& input, const QString& output, const ConvertControlPtr& control = {});

// ---- size estimation (ConverterEngineEstimate.cpp)

// True for every target whose output kind is video except mp4-copy, and for gif.
bool needsSample(const ConvertTarget& target);
// Calculated size in bytes for sound targets and the rewrap; none for everything else.
std::optional<qint64> calculatedSize(const ConvertTarget& target, const FFmpeg::Probe* probe,
                                     qint64 sourceSize, const ConvertOptions& options);

// ---- output names (ConverterEngineOutput.cpp)

// A free output location next to `source` (or in `folder` when it is not empty): "name.ext",
// "name (converted).ext", "name (converted 2).ext", ...; "name pages" folders when `isFolder`.
// The location is reserved until `release`, so two conversions never pick the same name.
QString outputURL(const QString& source, const ConvertTarget& target, const QString& folder, bool isFolder);
// The location after `taken` by the same rule ("clip.mp4" → "clip (converted).mp4", "clip
// (converted).mp4" → "clip (converted 2).mp4", …), free and reserved; for an output whose name was
// taken while it was being written.
QString nextOutputURL(const QString& taken, bool isFolder);
void release(const QString& path);
// `path` when nothing is there, else "name 2.ext", "name 3.ext", ... in the same folder.
QString uniqueURL(const QString& path);

} // namespace ConverterEngine
