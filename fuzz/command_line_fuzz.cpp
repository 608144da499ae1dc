// The one splitting rule: a `"` never reaches an argument, and what it splits, joined back with
// quotes, splits into the same arguments.

#include "fuzz_check.h"
#include "platform/windows_path.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = pxw::platform::splitCommandLine(line);
    for (const std::string& word : words)
        PXW_FUZZ_CHECK(word.find('"') == std::string::npos);
    PXW_FUZZ_CHECK(pxw::platform::splitCommandLine(pxw::platform::joinQuoted(words)) == words);
    return 0;
}
