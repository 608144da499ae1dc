// Stands in for lumabatch-reader.exe: answers every file with a reply whose header claims a
// picture its length does not hold, which the tool must refuse for that file alone.

#include "lumabatch/wic/reader_reply.h"

#include <cwchar>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const auto pipe = reinterpret_cast<HANDLE>(
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
