// The Windows tool's command line, split by the program's rule and read by the shared parser:
// the lines the launcher builds, where Windows' own rule (CommandLineToArgvW, the C runtime's)
// reads the `\"` that ends a folder as a quote and takes the options after it into the folder.

#include "options.h"
#include "platform/windows_path.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <shellapi.h>
// clang-format on

namespace pxw::lumabatch {
namespace {

struct Line {
    const char* commandLine;
    const char* source;
    const char* destination;
    int width;
    int quality;
};

TEST(CommandLine, AsTheLauncherBuildsIt) {
    const Line rows[] = {
        { R"(lumabatch.exe s="c:\windows\pxwtemp01" d="D:\out\" -w"300" -h"200" -prop -q"90)",
            R"(c:\windows\pxwtemp01)", R"(D:\out\)", 300, 90 },
        { R"("C:\WINDOWS\lumaforge\lumabatch.exe" s=C:\photos d=D:\my_out -w640 -h480 -q75)",
            R"(C:\photos)", R"(D:\my_out)", 640, 75 },
        { R"(lumabatch.exe s="C:\My Photos\" d="E:\a b" -w"1024" -sizeto(-1;-1;"1024";"768") -q"85)",
            R"(C:\My Photos\)", R"(E:\a b)", 1024, 85 },
    };
    for (const Line& row : rows) {
        SCOPED_TRACE(row.commandLine);
        std::vector<std::string> words = platform::splitCommandLine(row.commandLine);
        words.erase(words.begin());
        std::ostringstream out;
        std::ostringstream err;
        const ParseResult parsed = parseCommandLine(words, out, err);
        ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << err.str();
        const Options& options = std::get<Options>(parsed);
        EXPECT_EQ(options.sourceFolder, row.source);
        EXPECT_EQ(options.destinationFolder, row.destination);
        EXPECT_EQ(options.width, row.width);
        EXPECT_EQ(options.quality, row.quality);

        // Windows' rule gives other words wherever a backslash stands before a quote.
        int count = 0;
        const std::wstring wide(row.commandLine, row.commandLine + std::strlen(row.commandLine));
        LPWSTR* windowsWords = CommandLineToArgvW(wide.c_str(), &count);
        ASSERT_NE(windowsWords, nullptr);
        const bool backslashQuote
            = std::string_view(row.commandLine).find("\\\"") != std::string::npos;
        EXPECT_EQ(static_cast<std::size_t>(count) != words.size() + 1, backslashQuote);
        LocalFree(windowsWords);
    }
}

} // namespace
} // namespace pxw::lumabatch
