// The plan against a pool of stand-in readers that answer as each row says: which reader reads
// a file, what follows each outcome, and the one-heavy-file-at-a-time rule, with one reader or
// several.

#include "conversion_plan.h"
#include "temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {
namespace {

struct Answer {
    Outcome outcome;
    std::string message;
};

// Each file answers, reader after reader, with the next of its answers.
class FakePool final : public ReaderPool {
public:
    FakePool(std::size_t readers, std::map<std::size_t, std::vector<Answer>> answers)
        : slots_(readers)
        , answers_(std::move(answers)) { }

    std::size_t size() const override { return slots_.size(); }
    std::optional<Program> program(std::size_t slot) const override { return slots_[slot].program; }
    bool handOver(std::size_t slot, const Task& task, int, std::uint64_t) override {
        slots_[slot] = { task.program, task };
        readBy[task.index].push_back(task.program);
        std::size_t heavy = 0;
        for (const Slot& other : slots_)
            heavy += other.task && other.task->heavy ? 1 : 0;
        mostHeavyAtOnce = std::max(mostHeavyAtOnce, heavy);
        return true;
    }
    std::vector<Report> wait() override {
        std::vector<Report> reports;
        for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
            if (!slots_[slot].task)
                continue;
            std::vector<Answer>& left = answers_[slots_[slot].task->index];
            Answer answer = left.empty() ? Answer { Outcome::Converted, "jpeg" } : left.front();
            if (!left.empty())
                left.erase(left.begin());
            reports.push_back({ slot, answer.outcome, answer.message });
            slots_[slot].task.reset();
        }
        return reports;
    }
    void endAll() override { }

    std::map<std::size_t, std::vector<Program>> readBy;
    std::size_t mostHeavyAtOnce = 0;

private:
    struct Slot {
        std::optional<Program> program;
        std::optional<Task> task;
    };
    std::vector<Slot> slots_;
    std::map<std::size_t, std::vector<Answer>> answers_;
};

TEST(Plan, EachFileGoesToTheSameReadersWhateverThePool) {
    testing::TempFolder folder;
    struct Row {
        const char* name;
        Program first;
        bool heavy;
        std::vector<Answer> answers;
        std::vector<Program> readBy;
        const char* result; ///< the reason, or the note of a converted file
    };
    using enum Program;
    const std::string memory = "needed more than 1024 MB of memory";
    const Row rows[] = {
        { "photo.jpg", Jpeg, false, {}, { Jpeg }, "" },
        { "left.jpg", Jpeg, false, { { Outcome::Unsupported, "12-bit" } }, { Jpeg, Vips }, "" },
        { "crash.jpg", Jpeg, false, { { Outcome::Crashed, {} } }, { Jpeg, Vips }, "" },
        { "crash.png", Vips, false, { { Outcome::Crashed, {} } }, { Vips, Magick },
            "the image reader crashed on this file; read by the second reader" },
        { "huge.png", Vips, false, { { Outcome::Stopped, memory } }, { Vips }, memory.c_str() },
        { "damaged.jpg", Jpeg, false, { { Outcome::Stopped, "damaged reply" } }, { Jpeg },
            "damaged reply" },
        { "big1.jpg", Jpeg, true, {}, { Jpeg }, "" },
        { "big2.jpg", Vips, true, {}, { Vips }, "" },
        { "big3.jpg", Jpeg, true, {}, { Jpeg }, "" },
        { "late.png", Vips, false, {}, {}, "not a regular file" },
    };
    std::vector<PlannedFile> files;
    std::map<std::size_t, std::vector<Answer>> answers;
    for (const Row& row : rows) {
        const fs::path path = folder / row.name;
        std::ofstream(path) << "x";
        struct stat info { };
        ::stat(path.c_str(), &info);
        files.push_back({ path, info.st_dev, info.st_ino, row.first, {}, "PNG", row.heavy, {}, 1 });
        answers[files.size() - 1] = row.answers;
    }
    // Swapped for a FIFO after its head was read: refused at hand-over, never waited on.
    fs::remove(folder / "late.png");
    ASSERT_EQ(::mkfifo((folder / "late.png").c_str(), 0600), 0);
    for (std::size_t readers : { 1, 3 }) {
        SCOPED_TRACE(std::to_string(readers) + " readers");
        ConversionPlan plan(files);
        FakePool pool(readers, answers);
        std::map<std::size_t, ConvertResult> results;
        const std::atomic<bool> stop { false };
        runPlan(
            plan, pool, [](std::size_t) {},
            [&](std::size_t i, ConvertResult result) { results[i] = std::move(result); }, stop);
        EXPECT_EQ(pool.mostHeavyAtOnce, 1u);
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            SCOPED_TRACE(rows[i].name);
            EXPECT_EQ(pool.readBy[i], rows[i].readBy);
            ASSERT_TRUE(results.contains(i));
            EXPECT_EQ(results[i].converted ? results[i].note : results[i].reason, rows[i].result);
        }
    }
}

} // namespace
} // namespace pxw::lumabatch
