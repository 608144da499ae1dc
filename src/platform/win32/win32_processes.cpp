#include "win32_processes.h"

#include "base/text.h"
#include "base/wide_text.h"
#include "native_path.h"
#include "platform/image_tool.h"
#include "platform/windows_path.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <shellapi.h>
#include <vector>

namespace pxw::platform::win32 {

using base::inQuotes;
using base::narrowed;
using base::widened;

namespace {

const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

bool hasFolderPart(std::string_view program) {
    return program.find_first_of("\\/:") != std::string_view::npos;
}

// Why `program` cannot be started, or nothing when it is a file. Whether Windows takes it for
// a program only the start itself tells.
std::optional<std::string> notAProgram(const std::wstring& program) {
    const DWORD attributes = ::GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND
            || failure == ERROR_INVALID_DRIVE || failure == ERROR_BAD_NETPATH)
            return "not found";
        return windowsErrorText(failure);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "is a folder";
    return std::nullopt;
}

std::string startFailure(DWORD failure) {
    switch (failure) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "not found";
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        return "is not a Windows program";
    default:
        return windowsErrorText(failure);
    }
}

bool sameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(
               a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE)
        == CSTR_EQUAL;
}

// This program's environment with `entries` ("NAME=value") in place of those of their names
// and without the variable `dropped` (Windows' names ignore case), as CreateProcessW takes it:
// each entry ended by NUL, and one NUL more at the end.
std::wstring environmentBlock(const std::vector<std::string>& entries, const std::string& dropped) {
    std::vector<std::wstring> added;
    added.reserve(entries.size());
    for (const std::string& entry : entries)
        added.push_back(widened(entry));
    const std::wstring droppedName = widened(dropped);
    std::wstring block;
    if (wchar_t* own = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = own; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring_view text(entry);
            // "=C:=C:\work": the names Windows keeps for each drive's folder begin with '='.
            const std::wstring_view name = text.substr(0, text.find(L'=', 1));
            if (!sameNameIgnoringCase(name, droppedName)
                && std::none_of(added.begin(), added.end(), [&](const std::wstring& replacing) {
                       return sameNameIgnoringCase(name, replacing.substr(0, replacing.find(L'=')));
                   }))
                block.append(text).push_back(L'\0');
        }
        ::FreeEnvironmentStringsW(own);
    }
    for (const std::wstring& entry : added)
        block.append(entry).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

class Win32ProcessHandle final : public ProcessHandle {
public:
    Win32ProcessHandle(UniqueHandle process, UniqueHandle errorPipe)
        : process_(std::move(process))
        , errorPipe_(std::move(errorPipe)) { }

    int waitZero() override {
        readErrorOutput();
        if (!ended_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) {
            ended_ = true;
            if (!::GetExitCodeProcess(process_.get(), &exitCode_))
                exitCode_ = static_cast<DWORD>(-1);
            readErrorOutput(); // what came between the first read and the end
        }
        return ended_ ? WaitObject0 : WaitTimeout;
    }
    int exitCode() const override { return ended_ ? static_cast<int>(exitCode_) : -1; }
    int readyFd() const override { return -1; }
    std::string errorOutput() const override { return errorOutput_; }

private:
    static constexpr std::size_t MaxErrorOutput = 1 << 20;

    // Reads what is there now, never waiting: a program the child started may hold the pipe
    // open past the child's end. Beyond the limit it is read and dropped.
    void readErrorOutput() {
        while (errorPipe_) {
            DWORD available = 0;
            if (!::PeekNamedPipe(errorPipe_.get(), nullptr, 0, nullptr, &available, nullptr)) {
                errorPipe_.reset(); // every writer has gone
                return;
            }
            if (available == 0)
                return;
            char bytes[4096];
            DWORD got = 0;
            if (!::ReadFile(errorPipe_.get(), bytes, std::min<DWORD>(available, sizeof bytes), &got,
                    nullptr)
                || got == 0) {
                errorPipe_.reset();
                return;
            }
            const std::size_t room = MaxErrorOutput - std::min(MaxErrorOutput, errorOutput_.size());
            errorOutput_.append(bytes, std::min<std::size_t>(room, got));
        }
    }

    UniqueHandle process_;
    UniqueHandle errorPipe_;
    std::string errorOutput_;
    bool ended_ = false;
    DWORD exitCode_ = 0;
};

// The handles a child inherits, and no others: without the list a child would inherit every
// inheritable handle, the write end of another run's pipe included, which would then stay open
// past that run's end.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles)
        : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            list_ = list;
            if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                    handles_.data(), handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
                ::DeleteProcThreadAttributeList(list_);
                list_ = nullptr;
            }
        }
    }
    ~InheritedHandles() {
        if (list_)
            ::DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

} // namespace

Win32Processes::Win32Processes(WindowLookup windows)
    : windows_(std::move(windows)) {
}

HWND Win32Processes::windowOf(WindowHandle window) const {
    return window && windows_ ? windows_(window) : nullptr;
}

bool Win32Processes::shellExecuteEx(ShellExecuteInfo& info) {
    info.hProcess.reset();
    info.error.clear();
    auto fail = [&](std::string reason) {
        info.error = "cannot start " + inQuotes(info.lpFile) + ": " + std::move(reason);
        return false;
    };
    std::string error;
    const std::optional<std::wstring> program = nativePath(info.lpFile, &error);
    if (!program)
        return fail(error);
    if (std::optional<std::string> reason = notAProgram(*program))
        return fail(*reason);
    if (!info.lpDirectory.empty()) {
        const std::optional<std::wstring> folder = nativePath(info.lpDirectory, &error);
        if (!folder)
            return fail("working folder: " + error);
        const DWORD attributes = ::GetFileAttributesW(folder->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return fail("working folder " + inQuotes(info.lpDirectory) + " not found");
    }
    const bool watched = (info.fMask & ShellExecuteInfo::NoCloseProcess) != 0;
    if ((watched && info.keepErrorOutput) || !info.environment.empty())
        return createProcess(info, *program);

    // The record mapped onto the wide call's (see the class's comment).
    const std::wstring verb = widened(info.lpVerb);
    const std::wstring parameters = widened(info.lpParameters);
    const std::wstring folder = widened(info.lpDirectory);
    SHELLEXECUTEINFOW wide {};
    wide.cbSize = sizeof wide;
    wide.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | (watched ? SEE_MASK_NOCLOSEPROCESS : 0);
    wide.hwnd = windowOf(info.hwnd);
    wide.lpVerb = orNull(verb);
    wide.lpFile = program->c_str();
    wide.lpParameters = orNull(parameters);
    wide.lpDirectory = orNull(folder);
    wide.nShow = info.nShow;
    if (!::ShellExecuteExW(&wide))
        return fail(startFailure(::GetLastError()));
    // A start handed to a running program (DDE) gives no process to watch.
    if (watched && wide.hProcess)
        info.hProcess
            = std::make_unique<Win32ProcessHandle>(UniqueHandle(wide.hProcess), UniqueHandle());
    return true;
}

bool Win32Processes::createProcess(ShellExecuteInfo& info, const std::wstring& program) {
    auto fail = [&](std::string reason) {
        info.error = "cannot start " + inQuotes(info.lpFile) + ": " + std::move(reason);
        return false;
    };
    const bool watched = (info.fMask & ShellExecuteInfo::NoCloseProcess) != 0;
    SECURITY_ATTRIBUTES inheritable { sizeof inheritable, nullptr, TRUE };
    // Standard input and output lead nowhere; standard error into the pipe when it is kept.
    UniqueHandle nowhere(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
    UniqueHandle errorRead;
    UniqueHandle errorWrite;
    if (HANDLE ends[2];
        watched && info.keepErrorOutput && ::CreatePipe(&ends[0], &ends[1], &inheritable, 0)) {
        errorRead.reset(ends[0]);
        errorWrite.reset(ends[1]);
        ::SetHandleInformation(errorRead.get(), HANDLE_FLAG_INHERIT, 0);
    }
    if (!nowhere)
        return fail(windowsErrorText(::GetLastError()));
    std::vector<HANDLE> inherited { nowhere.get() };
    if (errorWrite)
        inherited.push_back(errorWrite.get());
    const InheritedHandles handles(inherited);

    STARTUPINFOEXW startup {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(info.nShow);
    startup.StartupInfo.hStdInput = nowhere.get();
    startup.StartupInfo.hStdOutput = nowhere.get();
    startup.StartupInfo.hStdError = errorWrite ? errorWrite.get() : nowhere.get();
    startup.lpAttributeList = handles.list();

    // As on Linux, the show state also reaches the program in its environment.
    std::vector<std::string> environment = info.environment;
    if (info.nShow != 0)
        environment.push_back(
            std::string(image_tool::ShowStateVariable) + "=" + std::to_string(info.nShow));
    std::wstring block = environmentBlock(environment, image_tool::ShowStateVariable);
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!info.lpParameters.empty())
        commandLine += L" " + widened(info.lpParameters);
    const std::wstring folder = widened(info.lpDirectory);
    // A console program (the image tool may be one) gets no console window of its own: what
    // it writes goes to the pipe, and its windows show by nShow.
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW
        | (handles.list() ? EXTENDED_STARTUPINFO_PRESENT : 0);
    PROCESS_INFORMATION started {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
            block.data(), orNull(folder), &startup.StartupInfo, &started))
        return fail(startFailure(::GetLastError()));
    ::CloseHandle(started.hThread);
    UniqueHandle process(started.hProcess);
    errorWrite.reset(); // the child's copy is the pipe's only writer now
    if (watched)
        info.hProcess
            = std::make_unique<Win32ProcessHandle>(std::move(process), std::move(errorRead));
    return true;
}

Status Win32Processes::startProgram(
    const std::string& program, const std::wstring& commandLine, int show) {
    const std::string action = "cannot start " + inQuotes(program) + ": ";
    if (program.empty())
        return Status::failure("cannot start a program: no program named");
    std::wstring found;
    if (hasFolderPart(program)) {
        std::string error;
        const std::optional<std::wstring> native = nativePath(program, &error);
        if (!native)
            return Status::failure(action + error);
        if (std::optional<std::string> reason = notAProgram(*native))
            return Status::failure(action + *reason);
        found = *native;
    } else {
        std::vector<wchar_t> path(MAX_PATH);
        for (;;) {
            const DWORD length = ::SearchPathW(nullptr, widened(program).c_str(), L".exe",
                static_cast<DWORD>(path.size()), path.data(), nullptr);
            if (length == 0)
                return Status::failure(action + "not found on the search path");
            if (length < path.size()) {
                found.assign(path.data(), length);
                break;
            }
            path.resize(length);
        }
    }
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    // 0 leaves the window to the program, as on Linux; a show state asks it for one.
    if (show != 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show);
    }
    std::wstring line = commandLine;
    PROCESS_INFORMATION started {};
    if (!::CreateProcessW(found.c_str(), line.data(), nullptr, nullptr, FALSE,
            CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &started))
        return Status::failure(action + startFailure(::GetLastError()));
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return Status::success();
}

Status Win32Processes::startDetached(const std::string& commandLine, int show) {
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty())
        return Status::failure("cannot start a program: the command line is empty");
    return startProgram(words.front(), widened(commandLine), show);
}

Status Win32Processes::startOpener(const std::string& program, const std::string& argument) {
    // The model names the Linux desktop's opener; Windows' own is the shell. The caller tells
    // of a failure itself.
    if (program == "xdg-open")
        return shellExecute(nullptr, "open", argument, "", "", SW_SHOWNORMAL, false);
    return startProgram(program, widened(joinQuoted({ program, argument })), 0);
}

Status Win32Processes::shellOpen(WindowHandle owner, const std::string& verb,
    const std::string& target, const std::string& parameters, const std::string& directory,
    int show) {
    return shellExecute(owner, verb, target, parameters, directory, show, true);
}

Status Win32Processes::shellExecute(WindowHandle owner, const std::string& verb,
    const std::string& target, const std::string& parameters, const std::string& directory,
    int show, bool shellTellsFailures) {
    if (target.empty())
        return Status::failure("cannot open an empty target");
    const std::wstring wideVerb = widened(verb);
    const std::wstring wideTarget = widened(target);
    const std::wstring wideParameters = widened(parameters);
    const std::wstring folder = widened(directory);
    SHELLEXECUTEINFOW wide {};
    wide.cbSize = sizeof wide;
    wide.fMask = SEE_MASK_NOASYNC | (shellTellsFailures ? 0 : SEE_MASK_FLAG_NO_UI);
    wide.hwnd = windowOf(owner);
    wide.lpVerb = orNull(wideVerb);
    wide.lpFile = wideTarget.c_str();
    wide.lpParameters = orNull(wideParameters);
    wide.lpDirectory = orNull(folder);
    wide.nShow = show;
    if (!::ShellExecuteExW(&wide))
        return Status::failure(
            "cannot open " + inQuotes(target) + ": " + windowsErrorText(::GetLastError()));
    return Status::success();
}

std::string Win32Processes::programFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length
            = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            std::wstring file(path.data(), length);
            const std::size_t slash = file.find_last_of(L"\\/");
            if (slash == std::wstring::npos)
                return {};
            file.resize(slash);
            return narrowed(file);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace pxw::platform::win32
