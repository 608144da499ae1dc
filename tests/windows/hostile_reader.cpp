// Stands in for lumabatch-reader.exe: answers every file with a reply whose header claims a
// picture its length does not hold, which the tool must refuse for that file alone; or, with
// LUMABATCH_TEST_READER=hang in the environment the tool hands on, never answers.

#include "lumabatch/wic/reader_reply.h"

#include <cstdlib>
#include <cwchar>
#include <string_view>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    if (const char* mode = std::getenv("LUMABATCH_TEST_READER");
        mode && std::string_view(mode) == "hang")
        Sleep(INFINITE);
    const auto pipe = reinterpret_cast<HANDLE>( // NOLINT(performance-no-int-to-ptr)
        static_cast<std::uintptr_t>(std::wcstoull(argv[2], nullptr, 10)));
    pxw::lumabatch::wic::ReplyHeader header;
    header.width = 10;
    header.height = 10;
    header.length = 10;
    const char pixels[10] = {};
    DWORD written = 0;
    WriteFile(pipe, &header, sizeof header, &written, nullptr);
    WriteFile(pipe, pixels, sizeof pixels, &written, nullptr);
    return 0;
}
