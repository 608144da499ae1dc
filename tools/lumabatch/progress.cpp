#include "progress.h"

#include "base/text.h"
#include "job_system.h"
#include "window_link.h"

#include <algorithm>
#include <ostream>

namespace pxw::lumabatch {

namespace {

constexpr int BarCells = 24;
constexpr const char* ClearLine = "\r\033[K";

} // namespace

Progress::Progress(std::ostream& err, bool showBar, std::size_t total)
    : err_(err)
    , showBar_(showBar)
    , total_(total) {
}

void Progress::attachWindow(WindowLink* window) {
    window_ = window;
}

void Progress::started(const std::string& name) {
    current_ = base::printable(name);
    drawBar();
    if (window_)
        window_->started(current_);
}

void Progress::finished() {
    ++done_;
    drawBar();
    if (window_)
        window_->finished(done_);
}

void Progress::report(const std::string& line) {
    clearBar();
    err_ << base::printable(line) << '\n';
    drawBar();
}

void Progress::close() {
    clearBar();
    showBar_ = false;
}

void Progress::clearBar() {
    if (showBar_)
        err_ << ClearLine << std::flush;
}

void Progress::drawBar() {
    if (!showBar_ || total_ == 0)
        return;
    int filled = static_cast<int>(done_ * BarCells / total_);
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#')
        + std::string(static_cast<std::size_t>(BarCells - filled), '-') + "] "
        + std::to_string(done_) + "/" + std::to_string(total_) + " " + current_;
    std::size_t room = static_cast<std::size_t>(std::max(sys::terminalColumns() - 1, 10));
    if (line.size() > room) {
        line.resize(room);
        // Never cut a UTF-8 character in two.
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80)
            line.pop_back();
        if (!line.empty() && (static_cast<unsigned char>(line.back()) & 0x80))
            line.pop_back();
    }
    err_ << ClearLine << line << std::flush;
}

} // namespace pxw::lumabatch
