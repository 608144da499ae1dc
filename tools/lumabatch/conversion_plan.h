#pragma once

#include "conversion_result.h"
#include "lumabatch/inside/convert_settings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pxw::lumabatch {

/// The reader programs, each reading what the one before it reads and more.
enum class Program { Jpeg, Vips, Magick };

/// One source as the plan sees it, from its head.
struct PlannedFile {
    std::filesystem::path path;
    dev_t device = 0; ///< the file the head was read from: the one handed over must be it
    ino_t inode = 0;
    Program program = Program::Vips; ///< the reader that takes it first
    std::string magickFormat; ///< the format a second-reader program reads it as; empty: libvips
    std::string secondFormat; ///< what the second reader reads it as, when libvips cannot
    bool heavy = false; ///< read with much memory at once: never two such at a time
    std::string refusal; ///< non-empty: refused from its head alone, no reader sees it
    std::uint64_t jpegLimit = 0; ///< the largest JPEG a reader may send back for it
};

/// A file on its way to a reader.
struct Task {
    std::size_t index = 0;
    Program program = Program::Vips;
    std::string magickFormat;
    std::string firstReason; ///< why the first reader did not do it, on the second try
    bool heavy = false;
    bool firstHandOver = true; ///< the file has not been handed to any reader yet
};

/// How a reader's work on a file ended.
enum class Outcome {
    Converted, ///< the message is the JPEG
    Unsupported, ///< the reader cannot read this kind of file; the message says why
    Failed, ///< the file is damaged or not an image; the message says why
    Crashed, ///< the reader ended while it had the file
    NotStarted, ///< no reader could be started, or it ended before it was ready
    Stopped, ///< the reader was ended for a limit or a damaged reply; the message says which
    Refused, ///< the tool did not hand the file over; the message says why
};

/// Which file goes next, to which reader, and what happens after each outcome. Which reader
/// reads a file depends on that file and the settings alone: never on the rest of the batch,
/// the number of readers or which of them is free, so the same file always gives the same
/// bytes. Everyday JPEG photos go to the JPEG reader; what it leaves, or crashes on, goes to
/// libvips. A file libvips does not support, or crashed on, is tried once more by the second
/// reader (libtiff or ImageMagick).
class ConversionPlan {
public:
    explicit ConversionPlan(std::vector<PlannedFile> files);

    const PlannedFile& file(std::size_t index) const { return files_[index]; }
    /// The next file to hand over, in the order given; none while nothing waits, or while only
    /// heavy files wait and a heavy one is being read (two at once would double the peak of
    /// memory). A file read by `running`, the program of the reader that is to take it, may
    /// come a few places early: that reader then needs no replacing. A file refused from its
    /// head comes out of `refused` instead.
    std::optional<Task> next(std::optional<Program> running = std::nullopt);
    /// A file refused from its head, with its result; each once.
    std::optional<std::pair<std::size_t, ConvertResult>> refused();
    /// What becomes of a task after `outcome`: its file's result, or none when another reader
    /// takes the file next.
    std::optional<ConvertResult> settle(Task task, Outcome outcome, std::string message);
    /// Nothing waits and nothing is in flight.
    bool done() const { return queue_.empty() && inFlight_ == 0 && refusedLeft_.empty(); }

private:
    std::vector<PlannedFile> files_;
    std::deque<Task> queue_;
    std::deque<std::size_t> refusedLeft_;
    std::size_t inFlight_ = 0;
    std::size_t heavyInFlight_ = 0;
};

/// Reader processes, one slot each, as the plan uses them.
class ReaderPool {
public:
    virtual ~ReaderPool() = default;
    virtual std::size_t size() const = 0;
    /// The program the slot's reader runs; none when the slot has none.
    virtual std::optional<Program> program(std::size_t slot) const = 0;
    /// Hands the open source `fd` to the slot's reader, first starting one of `task.program`
    /// in place of any other. False when no reader could be started.
    virtual bool handOver(std::size_t slot, const Task& task, int fd, std::uint64_t jpegLimit) = 0;
    struct Report {
        std::size_t slot = 0;
        Outcome outcome = Outcome::Failed;
        std::string message;
    };
    /// Waits a short while for the busy readers; what those that are done say.
    virtual std::vector<Report> wait() = 0;
    /// Ends every reader (the files in flight are abandoned).
    virtual void endAll() = 0;
};

/// Converts the plan's files with the pool's readers, calling `started` and `finished` for
/// each. Once `stop` is true, takes no new file and abandons the files in flight, which get no
/// `finished`.
void runPlan(ConversionPlan& plan, ReaderPool& pool,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished, const std::atomic<bool>& stop);

} // namespace pxw::lumabatch
