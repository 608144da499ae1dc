#pragma once

#include "conversion_plan.h"
#include "lumabatch/inside/convert_settings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pxw::lumabatch {

struct IsolationSettings {
    std::filesystem::path readerFolder; ///< where the reader programs lie
    unsigned workers = 1;
    std::chrono::seconds timeLimit { 60 }; ///< per file
    std::uint64_t memoryLimit = 0; ///< bytes of resident memory per worker
};

/// Converts files in sandboxed reader processes (see ProcessPool), as a ConversionPlan made
/// from each file's head says. The tool opens each file, never blocking on one that is not a
/// regular file, and hands the reader its descriptor; the reader sends the JPEG back.
class IsolatedConverter {
public:
    IsolatedConverter(IsolationSettings isolation, ConvertSettings settings);
    IsolatedConverter(const IsolatedConverter&) = delete;
    IsolatedConverter& operator=(const IsolatedConverter&) = delete;
    /// Removes the readers' folders.
    ~IsolatedConverter();

    /// Converts `sources` in this order, calling `started` and `finished` for each. Once `stop`
    /// is true, takes no new file and abandons the files in flight, which get no `finished`.
    void run(const std::vector<std::filesystem::path>& sources,
        const std::function<void(std::size_t)>& started,
        const std::function<void(std::size_t, ConvertResult)>& finished,
        const std::atomic<bool>& stop);

    /// Resident memory a worker may use by default on this machine.
    static std::uint64_t defaultMemoryLimit(unsigned workers);

    /// The plan's view of one source: its head read once from the descriptor opened here.
    /// `modulesNeeded` is set when libvips needs one of its modules for it.
    static PlannedFile planFile(const std::filesystem::path& source,
        const ConvertSettings& settings, std::uint64_t memoryLimit, bool* modulesNeeded);

private:
    IsolationSettings isolation_;
    ConvertSettings settings_;
    std::filesystem::path folder_; ///< holds the readers' private folders
};

} // namespace pxw::lumabatch
