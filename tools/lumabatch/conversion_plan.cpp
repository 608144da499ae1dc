#include "conversion_plan.h"

#include "reader_choice.h"

#include <algorithm>

namespace pxw::lumabatch {

namespace {

Program programFor(const std::string& magickFormat) {
    return needsMagick(magickFormat) ? Program::Magick : Program::Vips;
}

} // namespace

ConversionPlan::ConversionPlan(std::vector<PlannedFile> files)
    : files_(std::move(files)) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const PlannedFile& file = files_[i];
        if (!file.refusal.empty())
            refusedLeft_.push_back(i);
        else
            queue_.push_back({ i, file.program, file.magickFormat, {}, file.heavy, true });
    }
}

std::optional<std::pair<std::size_t, ConvertResult>> ConversionPlan::refused() {
    if (refusedLeft_.empty())
        return std::nullopt;
    const std::size_t index = refusedLeft_.front();
    refusedLeft_.pop_front();
    return std::pair { index, ConvertResult { false, {}, files_[index].refusal, {} } };
}

std::optional<Task> ConversionPlan::next(std::optional<Program> running) {
    auto allowed = [this](const Task& task) { return heavyInFlight_ == 0 || !task.heavy; };
    auto found = std::find_if(queue_.begin(), queue_.end(), allowed);
    if (found == queue_.end())
        return std::nullopt;
    // Looking further would leave a large file of another reader to the end of the batch.
    constexpr std::ptrdiff_t Lookahead = 8;
    const auto within = queue_.end() - found > Lookahead ? found + Lookahead : queue_.end();
    const auto fitting = std::find_if(
        found, within, [&](const Task& task) { return allowed(task) && task.program == running; });
    if (fitting != within)
        found = fitting;
    Task task = std::move(*found);
    queue_.erase(found);
    ++inFlight_;
    heavyInFlight_ += task.heavy ? 1 : 0;
    return task;
}

std::optional<ConvertResult> ConversionPlan::settle(
    Task task, Outcome outcome, std::string message) {
    --inFlight_;
    heavyInFlight_ -= task.heavy ? 1 : 0;
    task.firstHandOver = false;
    if (outcome == Outcome::Crashed)
        message = "the image reader crashed on this file";
    else if (outcome == Outcome::NotStarted)
        message = "the image reader could not start";
    switch (outcome) {
    case Outcome::Converted:
        return ConvertResult { true, std::move(message), {},
            task.firstReason.empty() ? std::string()
                                     : task.firstReason + "; read by the second reader" };
    case Outcome::Unsupported:
    case Outcome::Failed:
    case Outcome::Crashed:
    case Outcome::NotStarted:
        // What the JPEG reader leaves, libvips reads: it reads every file the JPEG reader takes.
        if (task.program == Program::Jpeg) {
            task.program = programFor(task.magickFormat);
            queue_.push_front(std::move(task));
            return std::nullopt;
        }
        if ((outcome == Outcome::Unsupported || outcome == Outcome::Crashed)
            && task.firstReason.empty() && task.magickFormat.empty()
            && !files_[task.index].secondFormat.empty()) {
            task.magickFormat = files_[task.index].secondFormat;
            task.program = programFor(task.magickFormat);
            task.firstReason = std::move(message);
            queue_.push_front(std::move(task));
            return std::nullopt;
        }
        break;
    case Outcome::Stopped:
    case Outcome::Refused:
        break;
    }
    return ConvertResult { false, {},
        task.firstReason.empty() ? std::move(message)
                                 : task.firstReason + "; the second reader: " + message,
        {} };
}

void runPlan(ConversionPlan& plan, ReaderPool& pool,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished,
    const std::atomic<bool>& stop) {
    std::vector<std::optional<Task>> busy(std::max<std::size_t>(pool.size(), 1));
    std::vector<std::pair<std::size_t, ConvertResult>> results;
    auto settle = [&](Task task, Outcome outcome, std::string message) {
        const std::size_t index = task.index;
        if (std::optional<ConvertResult> result
            = plan.settle(std::move(task), outcome, std::move(message)))
            results.emplace_back(index, std::move(*result));
    };
    while (!stop) {
        while (std::optional<std::pair<std::size_t, ConvertResult>> refused = plan.refused()) {
            started(refused->first);
            results.push_back(std::move(*refused));
        }
        for (std::size_t slot = 0; slot < busy.size() && !stop;) {
            if (busy[slot]) {
                ++slot;
                continue;
            }
            std::optional<Task> task = plan.next(pool.program(slot));
            if (!task)
                break;
            const PlannedFile& file = plan.file(task->index);
            if (task->firstHandOver)
                started(task->index);
            // The file is opened again, never blocking, and must still be the one whose head
            // chose its reader and passed the checks.
            const OpenedSource source = openSource(file.path);
            if (!source.fd || source.device != file.device || source.inode != file.inode) {
                settle(std::move(*task), Outcome::Refused,
                    source.fd ? "replaced while the run was under way" : source.refusal);
                continue; // the slot is still free
            }
            if (!pool.handOver(slot, *task, source.fd.get(), file.jpegLimit)) {
                settle(std::move(*task), Outcome::NotStarted, {});
                continue;
            }
            busy[slot++] = std::move(task);
        }
        // The free readers have their next files: they convert while the results are written.
        for (auto& [index, result] : results)
            finished(index, std::move(result));
        results.clear();
        if (plan.done())
            break;
        for (ReaderPool::Report& report : pool.wait()) {
            if (!busy[report.slot])
                continue;
            Task task = std::move(*busy[report.slot]);
            busy[report.slot].reset();
            settle(std::move(task), report.outcome, std::move(report.message));
        }
    }
    // Stopped: what is in flight is abandoned with its reader; what is done is reported.
    pool.endAll();
    for (auto& [index, result] : results)
        finished(index, std::move(result));
}

} // namespace pxw::lumabatch
