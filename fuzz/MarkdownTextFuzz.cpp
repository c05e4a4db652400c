// Feeds arbitrary bytes to the Markdown reader: no crash, no hang, no sanitizer report, and the
// runs keep their promises (neighbours differ in style; no run is empty).
#include "converter/documents/MarkdownText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<MarkdownText::Run> runs = MarkdownText::parse(text);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].text.empty())
            std::abort();
        if (i > 0 && runs[i - 1].emphasis == runs[i].emphasis && runs[i - 1].strong == runs[i].strong &&
            runs[i - 1].code == runs[i].code && runs[i - 1].link == runs[i].link)
            std::abort();
    }
    // Markup only ever removes or decodes characters; it never invents more than entities can.
    if (MarkdownText::plainText(runs).size() > size * 4 + 4)
        std::abort();
    return 0;
}
