#pragma once

// What the run of a batch does differently on Linux and on Windows: job_posix.cpp and
// job_win32.cpp are the two sides, and only one is built. The rest of the tool (options,
// naming, placing, messages, exit statuses) is the same code on both.

#include "conversion_result.h"
#include "lumabatch/inside/convert_settings.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::lumabatch::sys {

/// A path as UTF-8 text, and a path from UTF-8 text (Linux names are bytes and pass as they are).
std::string pathText(const std::filesystem::path& path);
std::filesystem::path pathFromText(std::string_view text);

/// Gives a work file just written (open as `fd`) the permissions a new file gets here and, when
/// `durable`, puts its data on the disk. False with errno set.
bool finishWorkFile(int fd, bool durable);

/// Puts a folder's new names on the disk, before sources go.
void syncFolder(const std::filesystem::path& folder);

/// Holds the source folder shared for the run, so that a window that takes it alone to clean
/// it waits for the run; nothing where the system has no such lock.
std::shared_ptr<void> holdShared(const std::filesystem::path& folder);

/// Whether standard error is a terminal, and its columns (80 when unknown).
bool errorIsTerminal();
int terminalColumns();

struct ConverterSettings {
    std::filesystem::path readerFolder; ///< empty: beside the tool's own executable
    unsigned workers = 1;
    std::chrono::seconds timeLimit { 60 }; ///< per file
};

/// Converts `sources` in isolated reader processes in this order, calling `started` and
/// `finished` for each on the calling thread, and `note` for what is worth telling about the
/// run. Once `stop` is true, takes no new file and abandons the files in flight.
void convertFiles(const std::vector<std::filesystem::path>& sources,
    const ConvertSettings& settings, const ConverterSettings& converter,
    const std::function<void(const std::string&)>& note,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished, const std::atomic<bool>& stop);

} // namespace pxw::lumabatch::sys
