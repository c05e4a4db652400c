// Feeds arbitrary bytes to the loopback stream server's request reader: no crash, no hang, no
// sanitizer report, and every request it accepts keeps the promises the server relies on to stay
// inside its folder (no empty, ".", ".." or NUL component) and to send only bytes of the file.
#include "media/server/StreamRequest.h"
#include "media/server/StreamResponse.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::string_view kSecret = "0f8fad5b-d9cb-469f-a165-70867728950e";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const StreamRequest::Parsed parsed = StreamRequest::parse(bytes, kSecret);
    (void)StreamRequest::complete(bytes);
    const auto* request = std::get_if<StreamRequest::Request>(&parsed);
    if (!request)
        return 0;
    if (request->components.empty())
        std::abort();
    for (const std::string& component : request->components)
        if (component.empty() || component == "." || component == ".." ||
            component.find('/') != std::string::npos || component.find('\0') != std::string::npos)
            std::abort();
    for (const std::uint64_t length :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{1000}, ~std::uint64_t{0}}) {
        if (const auto span = StreamRequest::resolve(request->range, length)) {
            if (span->first > span->second || span->second >= length)
                std::abort();
            (void)StreamResponse::head(StreamResponse::contentType(request->components.back()),
                                       span->second - span->first + 1,
                                       StreamResponse::Span{span->first, span->second, length});
        }
    }
    return 0;
}
