#include "windows_path.h"

#include "base/text.h"
#include "names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace pxw::platform {

using base::isPathSeparator;

namespace {

std::vector<std::string> splitComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (isPathSeparator(c)) {
            if (!current.empty())
                parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(std::move(current));
    return parts;
}

// The entry of `folder` named `name`: exactly if it exists, else the first that matches
// ignoring case, else `name` as written.
std::string matchName(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec)))
        return name;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (sameNameIgnoringCase(candidate, name))
            return candidate;
    }
    return name;
}

// Resolved by name, as Windows does: "." stays, ".." goes up one name but never above `base`,
// the drive's root ("C:\\..\\x" is "C:\\x").
fs::path resolveUnder(const fs::path& base, const std::vector<std::string>& parts) {
    std::vector<std::string> names;
    fs::path current = base;
    for (const std::string& part : parts) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!names.empty()) {
                names.pop_back();
                current = base;
                for (const std::string& name : names)
                    current /= name;
            }
            continue;
        }
        names.push_back(matchName(current, part));
        current /= names.back();
    }
    return current;
}

} // namespace

fs::path defaultPrefix() {
    if (const char* prefix = std::getenv("PIXELWAIN_PREFIX"); prefix && *prefix)
        return fs::path(prefix);
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".pixelwain";
}

DriveMap::DriveMap(fs::path prefix)
    : prefix_(std::move(prefix)) {
    std::error_code ec;
    fs::directory_iterator it(prefix_ / "dosdevices", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':'
            || !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        std::error_code targetError;
        fs::path target = fs::canonical(it->path(), targetError);
        if (targetError)
            continue;
        drives_[static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])))] = target;
    }
}

DriveMap DriveMap::fromEnvironment() {
    return DriveMap(defaultPrefix());
}

std::optional<fs::path> DriveMap::toHost(std::string_view windowsPath, std::string* error) const {
    auto fail = [&](std::string message) -> std::optional<fs::path> {
        if (error)
            *error = std::move(message);
        return std::nullopt;
    };
    if (windowsPath.empty())
        return fail("empty path");
    if (windowsPath.size() >= 2 && isPathSeparator(windowsPath[0])
        && isPathSeparator(windowsPath[1]))
        return fail("network path " + base::inQuotes(windowsPath) + " is not supported");

    if (windowsPath.size() >= 2 && windowsPath[1] == ':'
        && std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
        auto drive = drives_.find(letter);
        if (drive == drives_.end())
            return fail("drive " + std::string(1, static_cast<char>(std::toupper(letter))) + ": of "
                + base::inQuotes(windowsPath) + " is not mapped in "
                + (prefix_ / "dosdevices").string());
        return resolveUnder(drive->second, splitComponents(windowsPath.substr(2)));
    }
    if (isPathSeparator(windowsPath[0])) {
        // Rooted without a drive: the root of the current folder's drive, which on this host
        // is the host's own root.
        return resolveUnder(fs::path("/"), splitComponents(windowsPath));
    }
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    if (ec)
        return fail("current folder unknown: " + ec.message());
    // From the current folder, ".." may go up to the host's root.
    std::vector<std::string> parts;
    for (const fs::path& name : current.relative_path())
        parts.push_back(name.string());
    for (std::string& part : splitComponents(windowsPath))
        parts.push_back(std::move(part));
    return resolveUnder(fs::path("/"), parts);
}

std::string DriveMap::toWindows(const fs::path& hostPath) const {
    std::error_code ec;
    fs::path absolute = fs::absolute(hostPath, ec).lexically_normal();
    fs::path parent = fs::weakly_canonical(absolute.parent_path(), ec);
    if (!ec && !absolute.filename().empty())
        absolute = parent / absolute.filename();

    char bestLetter = 'z';
    fs::path bestTarget = "/";
    std::size_t bestLength = 0;
    for (const auto& [letter, target] : drives_) {
        auto mismatch
            = std::mismatch(target.begin(), target.end(), absolute.begin(), absolute.end());
        std::size_t length = static_cast<std::size_t>(std::distance(target.begin(), target.end()));
        if (mismatch.first == target.end() && length > bestLength) {
            bestLetter = letter;
            bestTarget = target;
            bestLength = length;
        }
    }
    std::string result(1, static_cast<char>(std::toupper(static_cast<unsigned char>(bestLetter))));
    result += ":";
    fs::path rest = absolute.lexically_relative(bestTarget);
    for (const auto& part : rest) {
        if (part == ".")
            continue;
        result += "\\" + part.string();
    }
    if (result.size() == 2)
        result += "\\";
    return result;
}

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

std::string fileNameOf(std::string_view windowsPath) {
    std::size_t slash = windowsPath.rfind('\\');
    return std::string(
        slash == std::string_view::npos ? windowsPath : windowsPath.substr(slash + 1));
}

} // namespace pxw::platform
