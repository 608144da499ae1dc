// A Windows child for the platform tests, and a stand-in for the image tool.
//   ... --report FILE [--exit N] [--stderr TEXT] [--signal EVENT] WORDS...
// writes how it was started to FILE ("key=value" lines), TEXT to its standard error, sets the
// named event EVENT, and exits with N (0).
//   ... s="SOURCE" d="DESTINATION" OPTIONS...
// does what the image tool does to its work folder, without converting: moves each file of
// SOURCE into DESTINATION under its own name, and exits 0.

#include "base/wide_text.h"
#include "platform/windows_path.h"

#include <fstream>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using pxw::base::narrowed;
using pxw::base::widened;

std::string environmentValue(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? "-" : narrowed(value);
}

int standInForTheTool(const std::string& source, const std::string& destination) {
    std::wstring folder = widened(source);
    WIN32_FIND_DATAW found {};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 2;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && !::MoveFileExW((folder + L"\\" + found.cFileName).c_str(),
                (widened(destination) + L"\\" + found.cFileName).c_str(),
                MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING))
            return 1;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return 0;
}

} // namespace

int main() {
    std::vector<std::string> words = pxw::platform::splitCommandLine(narrowed(::GetCommandLineW()));
    words.erase(words.begin());
    if (words.size() >= 2 && words[0].starts_with("s=") && words[1].starts_with("d="))
        return standInForTheTool(words[0].substr(2), words[1].substr(2));

    std::string report, errorText, event;
    int exitCode = 0;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const bool valued = i + 1 < words.size();
        if (words[i] == "--report" && valued)
            report = words[++i];
        else if (words[i] == "--exit" && valued)
            exitCode = std::stoi(words[++i]);
        else if (words[i] == "--stderr" && valued)
            errorText = words[++i];
        else if (words[i] == "--signal" && valued)
            event = words[++i];
        else
            rest.push_back(words[i]);
    }
    STARTUPINFOW startup {};
    ::GetStartupInfoW(&startup);
    wchar_t folder[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    {
        std::ofstream out(widened(report).c_str(), std::ios::binary);
        out << "folder=" << narrowed(folder) << "\nwords=";
        for (const std::string& word : rest)
            out << word << '|';
        out << "\nshow="
            << ((startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow)
                                                         : "-")
            << "\nshowVariable=" << environmentValue(L"PIXELWAIN_SHOW")
            << "\nadded=" << environmentValue(L"PXW_CHILD_ADDED") << "\n";
    }
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), errorText.data(),
        static_cast<DWORD>(errorText.size()), &written, nullptr);
    if (!event.empty()) {
        HANDLE signal = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, widened(event).c_str());
        ::SetEvent(signal);
        ::CloseHandle(signal);
    }
    return exitCode;
}
