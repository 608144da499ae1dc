#include "base/text.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

struct PrintableRow {
    const char* what;
    std::string_view raw;
    std::string_view shown;
};

void PrintTo(const PrintableRow& row, std::ostream* out) {
    *out << row.what;
}

class Printable : public testing::TestWithParam<PrintableRow> { };

TEST_P(Printable, EscapesWhatCouldForgeOrMoveText) {
    EXPECT_EQ(pxw::base::printable(GetParam().raw), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Names, Printable,
    testing::Values(
        PrintableRow { "plain path", "C:\\pics\\Été 2024.jpg", "C:\\pics\\Été 2024.jpg" },
        PrintableRow { "forged line", "a\nlumabatch: all 99 files converted",
            "a\\x0alumabatch: all 99 files converted" },
        PrintableRow { "terminal title", "\x1b]0;owned\x07.jpg", "\\x1b]0;owned\\x07.jpg" },
        PrintableRow { "tab, return and delete", "a\tb\rc\x7f", "a\\x09b\\x0dc\\x7f" },
        PrintableRow { "bidi override", "gnp\u202e.exe", "gnp\\u{202E}.exe" },
        PrintableRow { "isolate and mark", "\u2066x\u200f", "\\u{2066}x\\u{200F}" },
        PrintableRow { "C1 control", "a\u0085b", "a\\u{0085}b" },
        PrintableRow { "not UTF-8", "\xff\xfe.jpg", "\\xff\\xfe.jpg" },
        PrintableRow { "overlong slash", "\xc0\xaf", "\\xc0\\xaf" },
        PrintableRow { "surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80" },
        PrintableRow { "cut short", "ok\xe2\x82", "ok\\xe2\\x82" },
        PrintableRow { "four bytes", "\U0001F600", "\U0001F600" },
        PrintableRow { "nul", std::string_view("a\0b", 3), "a\\x00b" }),
    [](const testing::TestParamInfo<PrintableRow>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

} // namespace
