// The album program for Windows: the first part of an album that Windows starts. It reads the
// images appended to its own file with the same strict reader as the Linux album program, and
// answers the same command line, and shows the same window. It is a program of the window
// subsystem, so that no console opens when it is started from Explorer; the command line's output
// goes to the console it was started from, or to where its output was sent.

#include "album_command.h"
#include "album_window_win32.h"
#include "base/system.h"
#include "base/wide_text.h"

#include <string>
#include <string_view>
// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <shellapi.h>
// clang-format on

namespace {

// Sends what is written to a Windows handle: UTF-16 to a console, UTF-8 bytes to a file or pipe.
class HandleOutput final : public pxw::zip::TextOutput {
public:
    explicit HandleOutput(DWORD which)
        : handle_(::GetStdHandle(which)) { }

protected:
    bool write(std::string_view text) override {
        if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE)
            return true; // nowhere to print to, as when started from Explorer
        DWORD mode = 0, done = 0;
        const int size = static_cast<int>(text.size());
        if (::GetConsoleMode(handle_, &mode)) {
            const std::wstring wide = pxw::base::widened(text);
            return ::WriteConsoleW(
                handle_, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
        }
        return ::WriteFile(handle_, text.data(), static_cast<DWORD>(size), &done, nullptr)
            && done == static_cast<DWORD>(size);
    }

private:
    HANDLE handle_;
};

} // namespace

int main() {
    using namespace pxw::zip;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(pxw::base::narrowed(wide[i]));
    ::LocalFree(wide);

    // A window program has no console of its own: one started from a console prints there.
    if (::GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        ::SetStdHandle(STD_OUTPUT_HANDLE,
            ::CreateFileW(
                L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        ::SetStdHandle(STD_ERROR_HANDLE, ::GetStdHandle(STD_OUTPUT_HANDLE));
    }
    HandleOutput out(STD_OUTPUT_HANDLE), err(STD_ERROR_HANDLE);

    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "pxwalbum " PXW_VERSION "\n";
        return out ? 0 : 1;
    }
    const AlbumCommand command = parseAlbumCommand(arguments);
    const pxw::base::Path self = ownAlbumFile();
    if (command.kind != AlbumCommand::Kind::view)
        return runAlbumCommand(command, self, out, err);

    const std::string name = pxw::base::sys::pathText(self.filename());
    AlbumReader album;
    if (auto opened = album.open(self); !opened) {
        err << "pxwalbum: " << opened.message() << '\n';
        tellInBox(name, opened.message(), true);
        return albumExitFailed;
    }
    // Windows' image codecs are COM objects.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        tellInBox(name, "Windows' image codecs cannot be started.", true);
        return albumExitFailed;
    }
    const int status = runAlbumWindow(album, name);
    ::CoUninitialize();
    return status;
}
