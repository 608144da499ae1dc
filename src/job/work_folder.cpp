#include "work_folder.h"

#include "base/text.h"
#include "platform/output_names.h"

#include <unordered_set>

namespace pxw::job {

namespace {
void warn(platform::Toolkit& toolkit, const std::string& prompt) {
    toolkit.messageBox(prompt, platform::MessageIcon::Exclamation, "Warning");
}

std::string busyPrompt(const std::string& workFolder) {
    return "Another conversion is still using the work folder " + workFolder
        + ". Please try again when it has finished. Nothing was started.";
}
} // namespace

bool takeCleanWorkFolder(ui::frmBackupFiles& form, platform::Services& services) {
    const std::string workFolder = form.Text4.text();
    // This window's own hold from an earlier quick run goes first: the tool holds its own.
    form.workFolderHold.reset();
    platform::FolderLockResult taken = services.files.lockFolder(workFolder);
    if (!taken.lock) {
        warn(services.toolkit,
            taken.busy ? busyPrompt(workFolder)
                       : "The work folder " + workFolder + " could not be used: "
                    + base::printable(taken.error) + ". Nothing was started.");
        return false;
    }
    form.workFolderHold = std::move(taken.lock);
    bool leftovers = false;
    for (const platform::FolderEntry& entry : services.files.listFolder(workFolder))
        leftovers = leftovers || !entry.isFolder;
    if (!leftovers)
        return true;
    platform::Status emptied = services.files.deleteFiles(workFolder + "\\*.*");
    if (emptied)
        return true;
    form.workFolderHold.reset();
    warn(services.toolkit,
        "The work folder " + workFolder + " could not be emptied: "
            + base::printable(emptied.message()) + ". Nothing was started.");
    return false;
}

bool letToolIntoWorkFolder(ui::frmBackupFiles& form, platform::Services& services) {
    if (form.workFolderHold && form.workFolderHold->share())
        return true;
    form.workFolderHold.reset();
    warn(services.toolkit, busyPrompt(form.Text4.text()));
    return false;
}

std::vector<std::string> existingOutputs(platform::FileSystem& files, const std::string& folder,
    const std::string& pattern, std::size_t count) {
    std::vector<std::string> existing;
    std::optional<platform::NameTemplate> names = platform::NameTemplate::parse(pattern, nullptr);
    if (!names || count == 0)
        return existing; // the tool refuses such a template and writes nothing
    std::unordered_set<std::string> present;
    for (const platform::FolderEntry& entry : files.listFolder(folder))
        present.insert(entry.name);
    for (std::size_t i = 0; i < count && !present.empty(); ++i) {
        if (std::string name = names->nameFor(i); present.contains(name))
            existing.push_back(std::move(name));
    }
    return existing;
}

std::string firstLines(const std::vector<std::string>& lines, bool inDetails) {
    constexpr std::size_t shown = 10;
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < shown; ++i)
        text += "\n" + lines[i];
    if (lines.size() > shown)
        text += "\n... and " + std::to_string(lines.size() - shown) + " more"
            + (inDetails ? " (see the details)" : "");
    return text;
}

bool mayReplace(platform::Toolkit& toolkit, const std::string& folder,
    const std::vector<std::string>& existing) {
    if (existing.empty())
        return true;
    std::vector<std::string> shown;
    shown.reserve(existing.size());
    for (const std::string& name : existing)
        shown.push_back(base::printable(name));
    const std::string count
        = std::to_string(existing.size()) + (existing.size() == 1 ? " file" : " files");
    return toolkit.confirm(count + " in " + base::printable(folder)
            + " would be replaced by the converted images:" + firstLines(shown, false)
            + "\nReplace " + (existing.size() == 1 ? "it" : "them") + "?",
        "Pixelwain", "&Replace");
}

bool refuseEmptyList(const ui::frmBackupFiles& form, platform::Toolkit& toolkit) {
    if (form.FileList.ListCount() != 0)
        return false;
    toolkit.messageBox(EmptyListPrompt, platform::MessageIcon::Information, "Warning");
    return true;
}

} // namespace pxw::job
