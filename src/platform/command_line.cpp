// The command-line rule of windows_path.h, apart from the drive table: the image tool on Windows
// splits its own command line with it and needs nothing else of this folder.

#include "windows_path.h"

#include <algorithm>
#include <iterator>

namespace pxw::platform {

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string current;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord)
                words.push_back(std::move(current));
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(current));
    return words;
}

std::string joinQuoted(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty())
            line += ' ';
        line += '"';
        std::copy_if(
            word.begin(), word.end(), std::back_inserter(line), [](char c) { return c != '"'; });
        line += '"';
    }
    return line;
}

} // namespace pxw::platform
