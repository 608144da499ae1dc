#pragma once

#include "base/unique_fd.h"
#include "convert_settings.h"
#include "reader_choice.h"
#include "worker_channel.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pxw::lumabatch {

struct IsolationSettings {
    std::filesystem::path readerFolder; ///< where the reader programs lie
    unsigned workers = 1;
    std::chrono::seconds timeLimit { 60 }; ///< per file
    std::uint64_t memoryLimit = 0; ///< bytes of resident memory per worker
};

/// What became of one file.
struct ConvertResult {
    bool converted = false;
    std::string jpeg; ///< when converted
    std::string reason; ///< why not
    std::string note; ///< converted, but worth telling (the second reader did it)
};

/// Converts files in sandboxed worker processes, one file at a time each, kept alive from
/// file to file. The tool opens each file and hands the worker its descriptor; the worker
/// sends the JPEG back. A worker that crashes, runs past the time limit or past the memory
/// limit costs only its file: it is replaced by a fresh one. Everyday JPEG photos go to the
/// JPEG reader, which starts far faster than libvips; what it leaves, or crashes on, goes to
/// libvips. A file libvips does not support, or crashed on, is tried once more with
/// ImageMagick. Workers are started without ImageMagick, which few files need; a file that
/// does gets a worker with it.
class IsolatedConverter {
public:
    IsolatedConverter(IsolationSettings isolation, ConvertSettings settings);
    IsolatedConverter(const IsolatedConverter&) = delete;
    IsolatedConverter& operator=(const IsolatedConverter&) = delete;
    /// Ends every worker and removes their folders.
    ~IsolatedConverter();

    /// Converts `sources` in this order, calling `started` and `finished` for each. Once `stop`
    /// is true, takes no new file and abandons the files in flight, which get no `finished`.
    void run(const std::vector<std::filesystem::path>& sources,
        const std::function<void(std::size_t)>& started,
        const std::function<void(std::size_t, ConvertResult)>& finished,
        const std::atomic<bool>& stop);

    /// Resident memory a worker may use by default on this machine.
    static std::uint64_t defaultMemoryLimit(unsigned workers);

private:
    /// The reader programs, each reading what the one before it reads and more.
    enum class Program { Jpeg, Vips, Magick };
    struct Task {
        std::size_t index = 0;
        bool byJpegReader = false; ///< the JPEG reader takes it first
        std::string magickFormat; ///< empty: libvips
        std::string firstReason; ///< why the first reader did not do it, on the second try
        bool heavy = false; ///< read with much memory at once: never two such at a time
        std::chrono::steady_clock::time_point since;
    };
    struct Worker {
        pid_t pid = -1;
        base::UniqueFd channel;
        std::filesystem::path folder;
        std::optional<Task> task;
        std::string received;
        bool ready = false; ///< started up: a task's time runs from here on
        Program program = Program::Vips;
    };

    static bool makeChannel(std::array<base::UniqueFd, 2>& ends);
    /// Starts a reader program in `mode` on the channel's worker end; -1 when it cannot.
    pid_t spawnReader(const std::string& name, const std::string& mode,
        const std::filesystem::path& folder, int channelEnd);
    /// A worker forked by the starter (started on first use); -1 when there is none.
    pid_t forkWorker(int channelEnd);
    void endStarter();
    static Program programFor(const Task& task);
    bool startWorker(Worker& worker, Program program);
    /// The first task of the queue a free worker may take; none while only heavy ones wait
    /// and another heavy one is being read.
    std::optional<Task> takeTask();
    void endWorker(Worker& worker);
    void assign(Worker& worker, Task task);
    void readReply(Worker& worker);
    void handleReply(Worker& worker, WorkerReply reply);
    void checkLimits(Worker& worker);
    /// A file the JPEG reader left, or crashed on: libvips reads it next.
    void handToLibvips(Task task);
    /// The task of a worker that ended or was ended: a second try, or a failure.
    void lose(Worker& worker, const std::string& reason, bool crashed);
    /// Keeps a file's result for reportFinished.
    void finish(const Task& task, ConvertResult result);
    /// Hands the kept results to `finished`: called once the free workers have their next
    /// files, so that they convert while the results are written.
    void reportFinished();

    IsolationSettings isolation_;
    ConvertSettings settings_;
    std::filesystem::path folder_; ///< holds the workers' private folders
    std::vector<Worker> workers_;
    std::deque<Task> queue_;
    const std::vector<std::filesystem::path>* sources_ = nullptr;
    const std::function<void(std::size_t)>* started_ = nullptr;
    const std::function<void(std::size_t, ConvertResult)>* finished_ = nullptr;
    std::vector<std::pair<std::size_t, ConvertResult>> results_;
    unsigned workersStarted_ = 0;
    /// The reader program that forks the workers without ImageMagick: their libraries are
    /// loaded once for all of them.
    pid_t starterPid_ = -1;
    base::UniqueFd starterChannel_;
    bool starterFailed_ = false;
    /// Whether some file of the batch needs one of libvips' modules: else workers load none.
    bool modulesNeeded_ = true;
};

} // namespace pxw::lumabatch
