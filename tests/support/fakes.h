#pragma once

// Stand-ins for what a test cannot drive: dialogs answered from a script, message boxes
// recorded, and the program's end counted instead of carried out.

#include "platform/file_dialog.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/services.h"
#include "platform/toolkit.h"
#include "platform/zip_component.h"

#include <deque>
#include <functional>
#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif
#include <string>
#include <vector>

namespace pxw::testing {

struct ShownMessage {
    std::string prompt;
    platform::MessageIcon icon;
    std::string title;
    std::string details = {};
};

class RecordingToolkit : public platform::Toolkit {
public:
    void messageBox(
        const std::string& prompt, platform::MessageIcon icon, const std::string& title) override {
        messages.push_back({ prompt, icon, title });
        if (onMessage)
            onMessage(messages.back());
    }
    void detailedMessageBox(const std::string& prompt, platform::MessageIcon icon,
        const std::string& title, const std::string& details) override {
        messageBox(prompt, icon, title);
        messages.back().details = details;
    }
    /// Answered from `confirmAnswers` in turn; Cancel once they are used up.
    bool confirm(
        const std::string& prompt, const std::string& title, const std::string& accept) override {
        questions.push_back({ prompt, platform::MessageIcon::None, title, accept });
        if (confirmAnswers.empty())
            return false;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    std::optional<platform::ScreenRect> screenRectOf(platform::WindowHandle) override {
        return std::nullopt;
    }
    void processPendingEvents(int wakeFd) override {
        ++pumps;
        if (onPump)
            onPump();
#ifdef _WIN32
        // No descriptor to wait on: a moment's wait for a message, as the Win32 view's pump.
        static_cast<void>(wakeFd);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
#else
        if (wakeFd != -1) {
            pollfd fd { wakeFd, POLLIN, 0 };
            ::poll(&fd, 1, 5000);
        }
#endif
    }
    void showModal(platform::WindowHandle window, platform::WindowHandle owner) override {
        modals.push_back({ window, owner });
    }
    void beep() override {
        ++beeps;
    }
    void endProgram() override {
        ++ends;
    }

    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions; ///< details: the accepting button's caption
    std::deque<bool> confirmAnswers;
    std::vector<bool> busyChanges;
    std::vector<std::pair<platform::WindowHandle, platform::WindowHandle>> modals;
    std::function<void()> onPump;
    std::function<void(const ShownMessage&)> onMessage;
    int pumps = 0;
    int beeps = 0;
    int ends = 0;
};

/// Answers file dialogs from a script; keeps a copy of each dialog as it was shown.
class ScriptedDialogs : public platform::FileDialogService {
public:
    using Answer = std::function<platform::DialogResult(platform::FileDialog&)>;

    static Answer choose(const std::string& fileName) {
        return [fileName](platform::FileDialog& dialog) {
            dialog.FileName = fileName;
            return platform::DialogResult::Confirmed;
        };
    }
    static Answer cancel() {
        return [](platform::FileDialog&) { return platform::DialogResult::Cancelled; };
    }

    platform::DialogResult showOpen(platform::FileDialog& dialog, platform::WindowHandle) override {
        return answer(dialog, false);
    }
    platform::DialogResult showSave(platform::FileDialog& dialog, platform::WindowHandle) override {
        return answer(dialog, true);
    }

    std::deque<Answer> answers;
    std::vector<platform::FileDialog> shown;
    std::vector<bool> shownAsSave;

private:
    platform::DialogResult answer(platform::FileDialog& dialog, bool save) {
        shown.push_back(dialog);
        shownAsSave.push_back(save);
        if (answers.empty())
            return platform::DialogResult::Cancelled;
        Answer next = std::move(answers.front());
        answers.pop_front();
        return next(dialog);
    }
};

/// Records the calls of the processes service; starts nothing.
class RecordingProcesses : public platform::Processes {
public:
    struct ShellOpen {
        platform::WindowHandle owner;
        std::string verb, target, parameters, directory;
        int show;
    };

    bool shellExecuteEx(platform::ShellExecuteInfo& info) override {
        executed.push_back(info.lpFile + " | " + info.lpParameters);
        info.error = "no such program";
        return false;
    }
    platform::Status startDetached(const std::string& commandLine, int show) override {
        detached.push_back(commandLine);
        detachedShows.push_back(show);
        return startSucceeds ? platform::Status::success() : platform::Status::failure("missing");
    }
    platform::Status startOpener(const std::string& program, const std::string& argument) override {
        openers.push_back({ program, argument });
        return startSucceeds ? platform::Status::success() : platform::Status::failure("missing");
    }
    platform::Status shellOpen(platform::WindowHandle owner, const std::string& verb,
        const std::string& target, const std::string& parameters, const std::string& directory,
        int show) override {
        shellOpens.push_back({ owner, verb, target, parameters, directory, show });
        return platform::Status::failure("ignored by the caller");
    }
    std::string programFolder() override { return folder; }

    std::vector<std::string> executed;
    std::vector<std::string> detached;
    std::vector<int> detachedShows;
    std::vector<std::pair<std::string, std::string>> openers;
    std::vector<ShellOpen> shellOpens;
    std::string folder = "C:\\Program Files\\Pixelwain";
    bool startSucceeds = true;
};

/// A zip component that records the operations called on it.
class RecordingZip : public platform::ZipComponent {
public:
    explicit RecordingZip(std::vector<std::string>& log)
        : log_(log) { }
    platform::Status setOption(int v) override { return note("setOption " + std::to_string(v)); }
    platform::Status setTextOption(const std::string& v) override {
        return note("setTextOption '" + v + "'");
    }
    platform::Status setOtherOption(int v) override {
        return note("setOtherOption " + std::to_string(v));
    }
    platform::Status setIcon(const std::string& v) override { return note("setIcon " + v); }
    platform::Status setOtherTextOption(const std::string& v) override {
        return note("setOtherTextOption '" + v + "'");
    }
    platform::Status newArchive(const std::string& v) override { return note("newArchive " + v); }
    platform::Status addFolder(const std::string& v, int flags) override {
        return note("addFolder " + v + " " + std::to_string(flags));
    }
    platform::Status writeSelfExtractor(const std::string& v) override {
        return note("writeSelfExtractor " + v);
    }

private:
    platform::Status note(std::string call) {
        log_.push_back(std::move(call));
        return platform::Status::success();
    }
    std::vector<std::string>& log_;
};

class RecordingZipFactory : public platform::ZipComponentFactory {
public:
    std::unique_ptr<platform::ZipComponent> create() override {
        ++created;
        return std::make_unique<RecordingZip>(log);
    }
    std::vector<std::string> log;
    int created = 0;
};

/// For tests of commands that must not touch files at all.
class UntouchableFileSystem : public platform::FileSystem {
public:
    bool folderExists(const std::string& path) override { return touched(path), false; }
    platform::Status createFolder(const std::string& path) override { return fail(path); }
    bool fileExists(const std::string& path) override { return touched(path), false; }
    platform::Status copyFile(const std::string& from, const std::string&) override {
        return fail(from);
    }
    platform::Status deleteFiles(const std::string& wildcard) override { return fail(wildcard); }
    std::vector<platform::FolderEntry> listFolder(const std::string& folder) override {
        return touched(folder), std::vector<platform::FolderEntry> {};
    }
    platform::FolderLockResult lockFolder(const std::string& folder) override {
        touched(folder);
        return { nullptr, false, "not available in this test" };
    }
    std::vector<std::string> touchedPaths;

private:
    void touched(const std::string& path) { touchedPaths.push_back(path); }
    platform::Status fail(const std::string& path) {
        touched(path);
        return platform::Status::failure("not available in this test");
    }
};

/// The fakes bundled as the services a command is given.
struct FakeServices {
    RecordingToolkit toolkit;
    ScriptedDialogs dialogs;
    UntouchableFileSystem files;
    RecordingProcesses processes;
    RecordingZipFactory zip;
    platform::Services services { toolkit, dialogs, files, processes, zip };
};

} // namespace pxw::testing
