#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace pxw::lumabatch {

class WindowLink;

/// Messages of a run on standard error and, when it is a terminal, a one-line progress bar
/// with the count and the file being converted; the progress window, when there is one, is
/// fed the same.
class Progress {
public:
    Progress(std::ostream& err, bool showBar, std::size_t total);

    void attachWindow(WindowLink* window);

    void started(const std::string& name);
    void finished();
    /// A line of its own (a failure, a summary); the bar is drawn again below it.
    void report(const std::string& line);
    /// Removes the bar; later reports are plain lines.
    void close();

private:
    void clearBar();
    void drawBar();

    std::ostream& err_;
    bool showBar_;
    std::size_t total_;
    std::size_t done_ = 0;
    std::string current_;
    WindowLink* window_ = nullptr;
};

} // namespace pxw::lumabatch
