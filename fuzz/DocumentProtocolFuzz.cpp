// Feeds arbitrary bytes to the office worker's protocol reader, whole and in pieces: no crash, no
// sanitizer report, and every message it accepts encodes back to the bytes it was read from.
#include "converter/documents/DocumentProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DocumentProtocol::Decoded decoded = DocumentProtocol::decode(bytes);
    if (decoded.status == DocumentProtocol::Status::complete &&
        DocumentProtocol::encode(decoded.message) != bytes.substr(0, decoded.consumed))
        std::abort();

    DocumentProtocol::Reader reader;
    const std::size_t step = size > 0 ? std::size_t(data[0] % 7) + 1 : 1;
    for (std::size_t at = 0; at < size; at += step) {
        reader.append(bytes.substr(at, step));
        while (reader.next()) {
        }
    }
    return 0;
}
