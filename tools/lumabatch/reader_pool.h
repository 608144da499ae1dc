#pragma once

#include "base/unique_fd.h"
#include "conversion_plan.h"
#include "lumabatch/inside/convert_settings.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pxw::lumabatch {

struct PoolSettings {
    std::filesystem::path readerFolder; ///< where the reader programs lie
    std::filesystem::path folder; ///< holds the readers' private folders
    unsigned readers = 1;
    std::chrono::seconds timeLimit { 60 }; ///< per file
    std::uint64_t memoryLimit = 0; ///< bytes of resident memory per reader
    bool modulesNeeded = true; ///< some file needs one of libvips' modules: else none is loaded
};

/// Sandboxed reader processes, one file at a time each, kept alive from file to file. A
/// reader that crashes, runs past the time limit or the memory limit, or sends a reply that
/// breaks the rules of the wire, costs only its file: it is ended, and a fresh one takes its
/// slot. libvips readers are forked by a starter, which loads the libraries once for all of
/// them; the others are programs started of their own.
class ProcessPool final : public ReaderPool {
public:
    ProcessPool(PoolSettings settings, ConvertSettings convert);
    ProcessPool(const ProcessPool&) = delete;
    ProcessPool& operator=(const ProcessPool&) = delete;
    ~ProcessPool() override;

    std::size_t size() const override { return readers_.size(); }
    std::optional<Program> program(std::size_t slot) const override;
    bool handOver(std::size_t slot, const Task& task, int fd, std::uint64_t jpegLimit) override;
    std::vector<Report> wait() override;
    void endAll() override;

private:
    struct Reader {
        pid_t pid = -1;
        base::UniqueFd channel;
        std::filesystem::path folder;
        Program program = Program::Vips;
        std::string received;
        bool ready = false; ///< said it started up
        bool busy = false;
        std::uint64_t jpegLimit = 0;
        std::chrono::steady_clock::time_point handedOver;
        /// What the file in hand may take beyond the time limit: the reader's start-up, once.
        std::chrono::steady_clock::duration allowance {};
    };

    pid_t spawnReader(const std::string& name, const std::string& mode,
        const std::filesystem::path& folder, int channelEnd);
    /// A reader forked by the starter (started on first use); -1 when there is none.
    pid_t forkReader(int channelEnd);
    void endStarter();
    bool start(Reader& reader, Program program);
    void end(Reader& reader);
    /// Reads what the reader sent; a report when its file is done.
    std::optional<Report> read(Reader& reader);
    std::optional<Report> checkLimits(Reader& reader);

    PoolSettings settings_;
    ConvertSettings convert_;
    std::vector<Reader> readers_;
    unsigned started_ = 0;
    pid_t starterPid_ = -1;
    base::UniqueFd starterChannel_;
    bool starterFailed_ = false;
};

} // namespace pxw::lumabatch
