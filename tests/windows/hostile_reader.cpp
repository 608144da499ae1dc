// Stands in for lumabatch-reader.exe, as LUMABATCH_TEST_READER in the environment the tool hands
// on says: "short" (or unset) answers with a header that claims more pixels than follow,
// "wide" with a picture wider than the box asked for, "jpeg" with a JPEG cut short before its
// end marker, "silent" ends without a word, and "hang" never answers.

#include "lumabatch/wic/reader_reply.h"

#include <cstdlib>
#include <cwchar>
#include <string_view>
#include <vector>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4)
        return 2;
    const char* variable = std::getenv("LUMABATCH_TEST_READER");
    const std::string_view mode = variable ? variable : "short";
    if (mode == "hang")
        Sleep(INFINITE);
    if (mode == "silent")
        return 1;
    const auto pipe = reinterpret_cast<HANDLE>( // NOLINT(performance-no-int-to-ptr)
        static_cast<std::uintptr_t>(std::wcstoull(argv[2], nullptr, 10)));
    pxw::lumabatch::wic::ReplyHeader header;
    header.width
        = mode == "wide" ? static_cast<std::uint32_t>(std::wcstoul(argv[3], nullptr, 10)) + 1 : 10;
    header.height = 1;
    header.length = mode == "wide" ? header.width * 3 : 10;
    std::vector<char> pixels(std::size_t { header.width } * 3);
    if (mode == "jpeg") {
        header = {};
        header.kind = static_cast<std::uint32_t>(pxw::lumabatch::wic::ReplyKind::Jpeg);
        header.length = 30;
        pixels.assign(header.length, 0);
        pixels[0] = '\xFF';
        pixels[1] = '\xD8';
    }
    DWORD written = 0;
    WriteFile(pipe, &header, sizeof header, &written, nullptr);
    WriteFile(pipe, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    return 0;
}
