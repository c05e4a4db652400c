// `ls -la` output from a server: the listing parser must never crash, and every entry it gives
// must be visible (no hidden or empty names) and sorted folders first.
#include "network/sftp/SFTPListing.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first line names the listed folder, the rest is the output.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QString path = QString::fromUtf8(newline < 0 ? bytes : bytes.left(newline));
    const QString output = newline < 0 ? QString() : QString::fromUtf8(bytes.mid(newline + 1));
    const QList<SFTPEntry> entries = SFTPListing::parse(output, path);
    bool filesStarted = false;
    for (const SFTPEntry& entry : entries) {
        if (entry.name.isEmpty() || entry.name.startsWith(QLatin1Char('.')))
            std::abort();
        if (!entry.isFolder)
            filesStarted = true;
        else if (filesStarted)
            std::abort();
    }
    return 0;
}
