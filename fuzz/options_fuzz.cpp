// The image tool's option parser on any command line: either options within their ranges
// whose output names stay in the destination folder, or one usage line and status 2.

#include "fuzz_check.h"
#include "name_checks.h"
#include "options.h"
#include "platform/windows_path.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>

using namespace pxw::lumabatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::ostringstream out, err;
    const ParseResult result = parseCommandLine(pxw::platform::splitCommandLine(line), out, err);
    if (const auto* options = std::get_if<Options>(&result)) {
        PXW_FUZZ_CHECK(err.str().empty());
        PXW_FUZZ_CHECK(!options->sourceFolder.empty() && !options->destinationFolder.empty());
        for (const std::optional<int>& side : { options->width, options->height })
            PXW_FUZZ_CHECK(!side || (*side >= 1 && *side <= MaxSide));
        PXW_FUZZ_CHECK(options->quality >= 1 && options->quality <= 100);
        if (options->names)
            pxw::fuzz::checkOutputNames(*options->names);
        return 0;
    }
    const std::string message = err.str();
    if (std::get<ExitStatus>(result) == ExitStatus::AllDone) {
        PXW_FUZZ_CHECK(!out.str().empty()); // --help
        return 0;
    }
    PXW_FUZZ_CHECK(std::get<ExitStatus>(result) == ExitStatus::NothingDone);
    PXW_FUZZ_CHECK(message.starts_with("lumabatch: error: "));
    PXW_FUZZ_CHECK(message.ends_with("; try --help\n"));
    PXW_FUZZ_CHECK(std::count(message.begin(), message.end(), '\n') == 1);
    return 0;
}
