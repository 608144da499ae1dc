#include "tool_launch.h"

#include "command_lines.h"
#include "platform/image_tool.h"

namespace pxw::job {

namespace {
class WaitingFlag {
public:
    WaitingFlag(bool& flag, platform::Toolkit& toolkit)
        : flag_(flag)
        , toolkit_(toolkit) {
        flag_ = true;
        toolkit_.setBusy(true);
    }
    ~WaitingFlag() {
        flag_ = false;
        toolkit_.setBusy(false);
    }
    WaitingFlag(const WaitingFlag&) = delete;
    WaitingFlag& operator=(const WaitingFlag&) = delete;

private:
    bool& flag_;
    platform::Toolkit& toolkit_;
};
} // namespace

ToolRun waitedLaunch(ui::frmBackupFiles& form, platform::Services& services,
    const std::string& parameters, const std::string& progressTitle) {
    platform::ShellExecuteInfo info;
    info.cbSize = 60;
    info.fMask = platform::ShellExecuteInfo::NoCloseProcess;
    info.hwnd = ui::handleOf(form);
    info.lpVerb = "open";
    info.lpFile = platform::image_tool::executable();
    info.lpParameters = parameters;
    info.lpDirectory = platform::image_tool::workingFolder();
    info.nShow = 1;
    info.keepErrorOutput = true; // the tool's reasons for what it did not convert
    info.environment.push_back(
        std::string(platform::image_tool::ProgressTitleVariable) + "=" + progressTitle);
    if (std::optional<platform::ScreenRect> owner
        = services.toolkit.screenRectOf(ui::handleOf(form))) {
        info.environment.push_back(std::string(platform::image_tool::ProgressOwnerVariable) + "="
            + std::to_string(owner->x) + " " + std::to_string(owner->y) + " "
            + std::to_string(owner->width) + " " + std::to_string(owner->height));
    }

    ToolRun run;
    if (!services.processes.shellExecuteEx(info) || !info.hProcess) {
        run.error = info.error.empty() ? "it could not be started" : info.error;
        return run;
    }
    run.started = true;
    WaitingFlag waiting(form.waitingForTool, services.toolkit);
    platform::ProcessHandle& process = *info.hProcess;
    do {
        services.toolkit.processPendingEvents(process.readyFd());
    } while (process.waitZero() == platform::WaitTimeout);
    run.exitCode = process.exitCode();
    run.errorOutput = process.errorOutput();
    return run;
}

platform::Status detachedLaunch(const ui::frmBackupFiles& form, platform::Services& services) {
    return services.processes.startDetached(quickCommandLine(form), 1);
}

bool ensureFolder(const std::string& folder, platform::Services& services) {
    if (services.files.folderExists(folder))
        return true;
    platform::Status created = services.files.createFolder(folder);
    if (created)
        return true;
    services.toolkit.messageBox("The folder " + folder
            + " could not be created: " + created.message() + ". Nothing was converted.",
        platform::MessageIcon::Exclamation, "Warning");
    return false;
}

bool refuseWhileWaiting(const ui::frmBackupFiles& form, platform::Toolkit& toolkit) {
    if (!form.waitingForTool)
        return false;
    toolkit.beep();
    return true;
}

} // namespace pxw::job
