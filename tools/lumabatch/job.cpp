#include "job.h"

#include "base/files.h"
#include "base/system.h"
#include "base/text.h"
#include "job_system.h"
#include "progress.h"
#include "sources.h"
#include "window_link.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <ostream>
#include <set>
#include <thread>
#include <utility>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

using base::errorText;

namespace {

std::atomic<bool> stopRequested { false };

base::Path basePath(const fs::path& path) {
    return base::Path(path.native());
}

std::string quotedPath(const fs::path& path) {
    return base::inQuotes(sys::pathText(path));
}

// Writes the encoded image to a work file with the permissions a new file gets here.
// With `durable` the data reach the disk before the call returns, so that a source may
// later be removed safely.
std::optional<fs::path> writeWorkFile(
    const fs::path& folder, const std::string& bytes, bool durable, std::string* error) {
    base::TemporaryFile work;
    if (!work.create(basePath(folder), "lumabatch-out", 0600)) {
        *error = "cannot create a work file in " + quotedPath(folder) + ": " + errorText(errno);
        return std::nullopt;
    }
    auto fail = [&](const char* what) -> std::optional<fs::path> {
        *error = std::string(what) + " " + base::quotedPath(work.path()) + ": " + errorText(errno);
        return std::nullopt;
    };
    if (!base::writeFully(work.fd(), bytes.data(), bytes.size(), 0))
        return fail("cannot write");
    if (!sys::finishWorkFile(work.fd(), durable))
        return fail("cannot finish");
    if (!work.close())
        return fail("cannot close");
    return fs::path(work.keep().native());
}

enum class Placed { Done, Exists, Failed };

// Renames a finished work file to its final name; without `replace` an existing file of
// that name is kept.
Placed placeWorkFile(const fs::path& work, const fs::path& target, bool replace, int* error) {
    if (base::sys::moveFile(basePath(work), basePath(target), replace))
        return Placed::Done;
    *error = errno;
    return !replace && *error == EEXIST ? Placed::Exists : Placed::Failed;
}

enum class SourceState {
    Waiting, ///< not converted: the run was cancelled first. Stays untouched
    Failed, ///< could not be converted: stays where it is, untouched
    Converted, ///< output waits in a work file
    Placed, ///< output is in place
    Kept, ///< output was not placed: the source stays
};

struct Source {
    SourceFile file;
    SourceState state = SourceState::Waiting;
    fs::path work; ///< the converted image, while Converted
    std::string outputName;
    bool held = false; ///< moved aside to a work name to free its name for an output
};

class Batch {
public:
    Batch(const Options& options, fs::path destination, bool sameFolder,
        std::vector<SourceFile> files, std::ostream& err, const JobSettings& settings)
        : options_(options)
        , destination_(std::move(destination))
        , sameFolder_(sameFolder)
        , progress_(err, settings.showProgressBar,
              static_cast<std::size_t>(std::count_if(
                  files.begin(), files.end(), [](const SourceFile& file) { return !file.folder; })))
        , filesInFlight_(settings.filesInFlight)
        , readerFolder_(settings.readerFolder)
        , showProgressBar_(settings.showProgressBar) {
        // An album build leaves folders behind: they are named, but are no failure.
        for (SourceFile& file : files) {
            if (file.folder)
                progress_.report("lumabatch: " + file.name + ": a folder, left as it is");
            else
                sources_.emplace_back().file = std::move(file);
        }
    }

    ExitStatus run(const std::optional<fs::path>& windowProgram) {
        if (windowProgram) {
            window_ = WindowLink::start(*windowProgram,
                "lumabatch - converting into " + options_.destinationFolder, sources_.size(),
                [] { requestStop(); });
            progress_.attachWindow(window_.get());
        }
        convertAll();
        // What is converted by now is kept, whether the run was cancelled or not; a stop
        // that came after the last file changes nothing.
        const bool cancelled = std::any_of(sources_.begin(), sources_.end(),
            [](const Source& source) { return source.state == SourceState::Waiting; });
        progress_.attachWindow(nullptr);
        window_.reset();
        nameOutputs();
        placeOutputs();
        removeSources();
        progress_.close();
        return summary(cancelled);
    }

private:
    void fail(Source& source, const std::string& reason) {
        progress_.report("lumabatch: " + source.file.name + ": " + reason);
        ++problems_;
    }

    void convertAll() {
        const ConvertSettings settings { options_.width, options_.height, options_.keepProportions,
            options_.quality, options_.dpiHorizontal, options_.dpiVertical };
        // Largest files first, so that no large file is left running alone at the end.
        std::vector<Source*> order;
        for (Source& source : sources_)
            order.push_back(&source);
        std::stable_sort(order.begin(), order.end(),
            [](const Source* a, const Source* b) { return a->file.size > b->file.size; });
        std::vector<fs::path> paths;
        paths.reserve(order.size());
        for (const Source* source : order)
            paths.push_back(source->file.path);

        unsigned workers = filesInFlight_ ? filesInFlight_ : std::thread::hardware_concurrency();
        workers = static_cast<unsigned>(
            std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(sources_.size(), 1)));
        sys::convertFiles(
            paths, settings,
            { readerFolder_, workers, std::chrono::seconds(options_.timeLimitSeconds) },
            [&](const std::string& line) { progress_.report("lumabatch: " + line); },
            [&](std::size_t i) { progress_.started(order[i]->file.name); },
            [&](std::size_t i, const ConvertResult& result) {
                Source& source = *order[i];
                std::string error;
                if (!result.note.empty())
                    progress_.report("lumabatch: " + source.file.name + ": " + result.note);
                if (!result.converted) {
                    source.state = SourceState::Failed;
                    fail(source, result.reason);
                } else if (std::optional<fs::path> work
                    = writeWorkFile(destination_, result.jpeg, options_.removeSources, &error)) {
                    source.work = *work;
                    source.state = SourceState::Converted;
                } else {
                    source.state = SourceState::Failed;
                    fail(source, error);
                }
                progress_.finished();
            },
            stopRequested);
    }

    // Outputs are numbered in the order of the sources, counting only converted ones.
    void nameOutputs() {
        std::uint64_t counter = 0;
        for (Source& source : sources_) {
            if (source.state != SourceState::Converted)
                continue;
            source.outputName = options_.names ? options_.names->nameFor(counter++)
                                               : keptBaseName(source.file.name);
        }
    }

    // The source still standing under `name` in the destination, other than `self`.
    Source* sourceNamed(const std::string& name, const Source& self) {
        if (!sameFolder_)
            return nullptr;
        auto found = standingSources_.find(name);
        return found == standingSources_.end() || found->second == &self ? nullptr : found->second;
    }

    void keep(Source& source, const std::string& reason) {
        base::sys::removeFile(basePath(source.work));
        source.state = SourceState::Kept;
        fail(source, reason);
    }

    // Tries to give one converted source's output its name. False when it has to wait
    // for the source that holds that name.
    bool tryPlace(Source& source) {
        const std::string& name = source.outputName;
        if (placedNames_.contains(name)) {
            keep(source, "not written: " + name + " was already written in this run");
            return true;
        }
        Source* holder = sourceNamed(name, source);
        if (holder && options_.overwrite) {
            if (holder->state == SourceState::Converted)
                return false;
            if (holder->state != SourceState::Placed) {
                keep(source, "not written: " + name + " is a source that was not converted");
                return true;
            }
        }
        int error = 0;
        switch (placeWorkFile(source.work, destination_ / name, options_.overwrite, &error)) {
        case Placed::Done:
            source.state = SourceState::Placed;
            placedNames_.insert(name);
            if (holder)
                standingSources_.erase(name);
            return true;
        case Placed::Exists:
            keep(source, "not written: " + name + " exists (use -ov to replace it)");
            return true;
        case Placed::Failed:
            keep(source, "cannot write " + name + ": " + errorText(error));
            return true;
        }
        return true;
    }

    // Frees a name a waiting output needs by moving its source aside; its own output is
    // complete in a work file, so nothing is lost.
    bool moveAside(Source& holder) {
        base::TemporaryFile aside;
        if (!aside.create(basePath(destination_), "lumabatch-held", 0600) || !aside.close()
            || !base::sys::moveFile(basePath(holder.file.path), aside.path(), true))
            return false;
        standingSources_.erase(holder.file.name);
        holder.file.path = fs::path(aside.keep().native());
        holder.held = true;
        return true;
    }

    void placeOutputs() {
        if (sameFolder_) {
            for (Source& source : sources_)
                standingSources_[source.file.name] = &source;
        }
        std::vector<Source*> waiting;
        for (Source& source : sources_) {
            if (source.state == SourceState::Converted)
                waiting.push_back(&source);
        }
        while (!waiting.empty()) {
            std::size_t before = waiting.size();
            std::erase_if(waiting, [&](Source* source) { return tryPlace(*source); });
            if (waiting.size() < before)
                continue;
            // Every waiting output needs the name of another waiting source: a cycle,
            // broken by moving one of those sources aside.
            Source* holder = sourceNamed(waiting.front()->outputName, *waiting.front());
            if (!holder || !moveAside(*holder)) {
                for (Source* source : waiting)
                    keep(*source,
                        "not written: " + source->outputName
                            + " is a source whose name could not be freed");
                waiting.clear();
            }
        }
    }

    void removeSources() {
        bool anyToRemove = false;
        for (const Source& source : sources_)
            anyToRemove = anyToRemove
                || (source.state == SourceState::Placed && (options_.removeSources || source.held));
        if (!anyToRemove)
            return;
        // The new names must be on disk before any source goes.
        sys::syncFolder(destination_);
        for (Source& source : sources_) {
            if (source.state != SourceState::Placed)
                continue;
            if (!options_.removeSources && !source.held)
                continue;
            bool replacedByOutput
                = sameFolder_ && !source.held && placedNames_.contains(source.file.name);
            if (replacedByOutput)
                continue;
            if (!base::sys::removeFile(basePath(source.file.path)) && errno != ENOENT)
                fail(source, "converted, but cannot remove it: " + errorText(errno));
        }
        for (Source& source : sources_) {
            if (source.held && source.state != SourceState::Placed)
                fail(source,
                    "left as " + sys::pathText(source.file.path.filename())
                        + " (its name is taken by another output)");
        }
    }

    ExitStatus summary(bool cancelled) {
        std::size_t placed = 0;
        for (const Source& source : sources_)
            placed += source.state == SourceState::Placed ? 1 : 0;
        if (cancelled) {
            progress_.report("lumabatch: cancelled; " + std::to_string(placed) + " of "
                + std::to_string(sources_.size()) + " files converted into "
                + quotedPath(destination_));
            return ExitStatus::Cancelled;
        }
        if (problems_ == 0) {
            // On a terminal the bar has gone; say how the run ended.
            if (showProgressBar_)
                progress_.report("lumabatch: " + std::to_string(placed) + " files converted into "
                    + quotedPath(destination_));
            return ExitStatus::AllDone;
        }
        progress_.report("lumabatch: " + std::to_string(placed) + " of "
            + std::to_string(sources_.size()) + " files converted into " + quotedPath(destination_)
            + "; " + std::to_string(problems_) + " problem" + (problems_ == 1 ? "" : "s")
            + " reported above");
        return ExitStatus::SomeFailed;
    }

    const Options& options_;
    fs::path destination_;
    bool sameFolder_;
    Progress progress_;
    unsigned filesInFlight_;
    fs::path readerFolder_;
    bool showProgressBar_;
    std::vector<Source> sources_;
    std::size_t problems_ = 0;
    std::set<std::string> placedNames_;
    std::map<std::string, Source*> standingSources_;
    std::unique_ptr<WindowLink> window_;
};

void usageError(std::ostream& err, const std::string& message) {
    err << "lumabatch: error: " << base::printable(message) << "; try --help\n";
}

} // namespace

void requestStop() {
    stopRequested = true;
}

ExitStatus runJob(const Options& options, const FolderResolver& resolveFolder, std::ostream& err,
    const JobSettings& settings) {
    stopRequested = false;
    std::string error;
    std::optional<fs::path> source = resolveFolder(options.sourceFolder, &error);
    if (!source) {
        usageError(err, "source folder " + base::inQuotes(options.sourceFolder) + ": " + error);
        return ExitStatus::NothingDone;
    }
    std::optional<fs::path> destination = resolveFolder(options.destinationFolder, &error);
    if (!destination) {
        usageError(
            err, "destination folder " + base::inQuotes(options.destinationFolder) + ": " + error);
        return ExitStatus::NothingDone;
    }
    std::error_code ec;
    if (!fs::is_directory(*source, ec)) {
        usageError(err,
            "source folder " + base::inQuotes(options.sourceFolder) + " (" + sys::pathText(*source)
                + ") does not exist");
        return ExitStatus::NothingDone;
    }
    // Held shared for the whole run: a window takes the folder alone before it cleans and
    // stages it, so it never removes the input of a run still going. A window that is staging
    // now is waited for.
    const std::shared_ptr<void> sourceHold = sys::holdShared(*source);
    // The list is taken before anything is written: outputs never become sources.
    std::optional<std::vector<SourceFile>> files
        = listSources(*source, options.excludedExtensions, options.sortAZ, &error);
    if (!files) {
        err << "lumabatch: error: " << base::printable(error) << "\n";
        return ExitStatus::NothingDone;
    }
    fs::create_directories(*destination, ec);
    if (!fs::is_directory(*destination, ec)) {
        err << "lumabatch: error: "
            << base::printable("cannot create destination folder \"" + options.destinationFolder
                   + "\" (" + sys::pathText(*destination) + ")" + (ec ? ": " + ec.message() : ""))
            << "\n";
        return ExitStatus::NothingDone;
    }
    bool sameFolder = fs::equivalent(*source, *destination, ec);
    return Batch(options, *destination, sameFolder, std::move(*files), err, settings)
        .run(settings.windowProgram);
}

} // namespace pxw::lumabatch
