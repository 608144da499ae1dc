#include "prefix_setup.h"

#include "base/text.h"

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace pxw::platform {

namespace {

using Kind = HostFileSystem::Kind;

const fs::path ProgramLinks = "drive_c/Program Files/Pixelwain";

// What the earlier installer copied into a prefix; it kept no list.
constexpr std::array CopiedByEarlierInstaller { "drive_c/Program Files/Pixelwain/pixelwain",
    "drive_c/Program Files/Pixelwain/pxwalbum", "drive_c/Program Files/Pixelwain/pxwreadme.chm",
    "drive_c/windows/lumaforge/lumabatch.exe", "drive_c/windows/forpxw/pxwicon.ico" };

// Entry (relative to the prefix) -> link target.
using Entries = std::map<std::string, std::string>;

Entries wantedEntries(HostFileSystem& files, const Installation& installed) {
    Entries wanted {
        { "dosdevices/c:", "../drive_c" },
        { "dosdevices/z:", "/" },
        { "drive_c/windows/lumaforge/lumabatch.exe", installed.programFolder / "lumabatch" },
        { "drive_c/windows/forpxw/pxwicon.ico", installed.dataFolder / "pxwicon.ico" },
    };
    for (const std::string& name : files.namesIn(installed.programFolder))
        wanted.emplace(ProgramLinks / name, installed.programFolder / name);
    return wanted;
}

Entries parseList(const std::string& text) {
    Entries entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        if (!line.starts_with('#') && tab != std::string::npos)
            entries[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return entries;
}

std::string formatList(const Entries& entries) {
    std::string text
        = "# Links Pixelwain made in this prefix. It makes them again when missing and "
          "updates them when they point at another installation; nothing else.\n";
    for (const auto& [entry, target] : entries)
        text += entry + '\t' + target + '\n';
    return text;
}

} // namespace

Installation Installation::around(const fs::path& programFolder) {
    return { programFolder, programFolder.parent_path().parent_path() / "share" / "pixelwain" };
}

Status setUpPrefix(HostFileSystem& files, const fs::path& prefix, const Installation& installed) {
    std::vector<std::string> problems;
    auto note = [&](const Status& status) {
        if (!status)
            problems.push_back(status.message());
        return status.ok();
    };

    const auto fail = [&] {
        std::string message = "Pixelwain could not fully set up its folder "
            + base::quotedPath(prefix) + ", so some commands may fail:";
        for (const std::string& problem : problems)
            message += "\n- " + problem;
        return Status::failure(message);
    };
    if (!note(files.makeFolders(prefix / "dosdevices"))
        || !note(files.makeFolders(prefix / "drive_c" / "windows")))
        return fail();

    const fs::path listFile = prefix / MadeListName;
    const std::optional<std::string> listText = files.readText(listFile);
    // The earlier installer left a copy of the program, where the set-up makes a link.
    const bool earlierInstall
        = !listText && files.kindOf(prefix / ProgramLinks / "pixelwain") == Kind::file;
    const Entries made = listText ? parseList(*listText) : Entries {};
    Entries nowMade;

    const Entries wanted = wantedEntries(files, installed);
    for (const auto& [entry, target] : wanted) {
        const fs::path at = prefix / entry;
        const Kind kind = files.kindOf(at);
        const auto before = made.find(entry);
        const bool stillOurs
            = before != made.end() && kind == Kind::link && files.linkTarget(at) == before->second;
        const bool earlierCopy = earlierInstall && kind == Kind::file
            && std::ranges::find(CopiedByEarlierInstaller, entry) != CopiedByEarlierInstaller.end();
        if (kind != Kind::missing && !stillOurs && !earlierCopy)
            continue; // the user's
        if (stillOurs && before->second == target) {
            nowMade.insert(*before);
            continue;
        }
        const bool installedFileMissing
            = fs::path(target).is_absolute() && files.kindOf(target) == Kind::missing;
        if (installedFileMissing)
            problems.push_back("the installed file " + base::inQuotes(target) + " is missing");
        if (!installedFileMissing && note(files.makeFolders(at.parent_path()))
            && note(files.placeLink(target, at)))
            nowMade.emplace(entry, target);
        else if (stillOurs)
            nowMade.insert(*before); // still ours, to be updated next time
    }
    // A link made for a file that is no longer installed goes with it.
    for (const auto& [entry, target] : made) {
        const fs::path at = prefix / entry;
        if (!wanted.contains(entry) && files.kindOf(at) == Kind::link
            && files.linkTarget(at) == target && !note(files.removeFile(at)))
            nowMade.emplace(entry, target);
    }
    if (!listText || nowMade != made)
        note(files.writeText(listFile, formatList(nowMade)));
    return problems.empty() ? Status::success() : fail();
}

void retireSourceMenuEntry(
    HostFileSystem& files, const fs::path& userEntry, const std::vector<fs::path>& systemEntries) {
    const std::optional<std::string> text = files.readText(userEntry);
    if (!text || text->find("\nX-Pixelwain-Source-Install=true") == std::string::npos)
        return;
    if (std::ranges::any_of(systemEntries, [&](const fs::path& entry) {
            return entry != userEntry && files.kindOf(entry) == Kind::file;
        }))
        files.removeFile(userEntry);
}

} // namespace pxw::platform
