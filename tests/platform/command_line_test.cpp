#include "platform/windows_path.h"

#include <gtest/gtest.h>

namespace pxw::platform {
namespace {

using Words = std::vector<std::string>;

struct SplitRow {
    const char* name;
    std::string line;
    Words words;
};

TEST(SplitCommandLine, FollowsTheOneSplittingRule) {
    const SplitRow rows[] = {
        { "convert line",
            R"(s="c:\windows\pxwtemp01" d="D:\out\" -w"300" -h"400" -prop -sm1 -namegen="[counter2;0].jpg" -ov -dpiver72 -dpihor72 -sortlstAZ -sizeto(-1;-1;"300";"400") -exclude(db) -remsrc -nodlg -q"90)",
            { R"(s=c:\windows\pxwtemp01)", R"(d=D:\out\)", "-w300", "-h400", "-prop", "-sm1",
                "-namegen=[counter2;0].jpg", "-ov", "-dpiver72", "-dpihor72", "-sortlstAZ",
                "-sizeto(-1;-1;300;400)", "-exclude(db)", "-remsrc", "-nodlg", "-q90" } },
        { "album line",
            R"(s="c:\windows\pxwtemp01" d="c:\windows\pxwtemp01" -w"300" -h"400" -prop -sm1 -namegen="[counter2;0].jpg" -ov -dpiver72 -dpihor72 -remsrc -sortlstAZ -sizeto(-1;-1;"300";"400") -exclude(db) -nodlg -q"90)",
            { R"(s=c:\windows\pxwtemp01)", R"(d=c:\windows\pxwtemp01)", "-w300", "-h400", "-prop",
                "-sm1", "-namegen=[counter2;0].jpg", "-ov", "-dpiver72", "-dpihor72", "-remsrc",
                "-sortlstAZ", "-sizeto(-1;-1;300;400)", "-exclude(db)", "-nodlg", "-q90" } },
        { "quick line",
            R"("C:\WINDOWS\lumaforge\lumabatch.exe" s=c:\windows\pxwtemp01 d=D:\my_out\ -w300 -h400 -sm1 -namegen="[counter2;0].jpg" -ov -remsrc -sortlstAZ -exclude(db) -nodlg -q90)",
            { R"(C:\WINDOWS\lumaforge\lumabatch.exe)", R"(s=c:\windows\pxwtemp01)",
                R"(d=D:\my_out\)", "-w300", "-h400", "-sm1", "-namegen=[counter2;0].jpg", "-ov",
                "-remsrc", "-sortlstAZ", "-exclude(db)", "-nodlg", "-q90" } },
        { "blanks inside quotes", R"(s="c:\my work" d="D:\out put\")",
            { R"(s=c:\my work)", R"(d=D:\out put\)" } },
        { "empty fields", R"(-w"" -h"" -q")", { "-w", "-h", "-q" } },
        { "empty quotes are an argument", R"(a "" b)", { "a", "", "b" } },
        { "only empty quotes", R"("")", { "" } },
        { "tabs separate", "a\tb\t\t c", { "a", "b", "c" } },
        { "tab inside quotes stays", "\"a\tb\"", { "a\tb" } },
        { "outer blanks", "   a   ", { "a" } },
        { "empty line", "", {} },
        { "only blanks", " \t ", {} },
        { "open quote runs to the end", R"(x "a  b)", { "x", "a  b" } },
        { "backslash is ordinary", R"(a\"b c" \\d)", { R"(a\b c)", R"(\\d)" } },
        { "quotes join pieces", R"(a"b c"d e)", { "ab cd", "e" } },
    };
    for (const SplitRow& row : rows)
        EXPECT_EQ(splitCommandLine(row.line), row.words) << row.name;
}

TEST(FileNameOf, TakesTheTextAfterTheLastBackslash) {
    EXPECT_EQ(fileNameOf(R"(C:\pics\a b.jpg)"), "a b.jpg");
    EXPECT_EQ(fileNameOf("plain.jpg"), "plain.jpg");
    EXPECT_EQ(fileNameOf(R"(D:\out\)"), "");
    EXPECT_EQ(fileNameOf("a/b.jpg"), "a/b.jpg");
}

} // namespace
} // namespace pxw::platform
