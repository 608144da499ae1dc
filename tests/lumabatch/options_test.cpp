#include "options.h"
#include "platform/windows_path.h"

#include <gtest/gtest.h>
#include <sstream>

namespace pxw::lumabatch {
namespace {

struct Parsed {
    std::optional<Options> options;
    ExitStatus exit = ExitStatus::AllDone;
    std::string out;
    std::string err;
};

Parsed parse(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    ParseResult result = parseCommandLine(args, out, err);
    Parsed parsed;
    if (const Options* options = std::get_if<Options>(&result))
        parsed.options = *options;
    else
        parsed.exit = std::get<ExitStatus>(result);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

Parsed parseLine(std::string_view line) {
    return parse(platform::splitCommandLine(line));
}

TEST(Options, TypedByHand) {
    Parsed parsed
        = parseLine("s=/photos d=/out -w300 -h400 -prop -namegen=trip[counter2;1].jpg -q85");
    ASSERT_TRUE(parsed.options) << parsed.err;
    EXPECT_EQ(parsed.options->sourceFolder, "/photos");
    EXPECT_EQ(parsed.options->names->nameFor(1), "trip02.jpg");
    EXPECT_EQ(parsed.options->quality, 85);
    EXPECT_FALSE(parsed.options->removeSources);
    EXPECT_FALSE(parsed.options->sortAZ);
}

TEST(Options, DefaultsWithOnlyTheFolders) {
    Parsed parsed = parseLine("s=/a d=/b");
    ASSERT_TRUE(parsed.options);
    EXPECT_FALSE(parsed.options->width);
    EXPECT_FALSE(parsed.options->height);
    EXPECT_FALSE(parsed.options->names);
    EXPECT_EQ(parsed.options->quality, DefaultQuality);
}

TEST(Options, SizeToWithoutLimits) {
    Parsed parsed = parseLine("s=/a d=/b -sizeto(-1;-1;-1;250)");
    ASSERT_TRUE(parsed.options) << parsed.err;
    EXPECT_FALSE(parsed.options->width);
    EXPECT_EQ(parsed.options->height, 250);
}

TEST(Options, HelpListsTheOptions) {
    Parsed parsed = parse({ "--help" });
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exit, ExitStatus::AllDone);
    for (const char* option : { "s=", "d=", "-w", "-h", "-prop", "-sizeto", "-namegen=", "-q",
             "-sortlstAZ", "-exclude", "-remsrc", "-ov", "-dpiver", "-dpihor", "-sm1", "-nodlg" })
        EXPECT_NE(parsed.out.find(option), std::string::npos) << option;
}

struct BadLine {
    const char* line;
    const char* mentions;
};

class BadCommandLine : public ::testing::TestWithParam<BadLine> { };

TEST_P(BadCommandLine, EndsWithOneLineAndStatusTwo) {
    Parsed parsed = parseLine(GetParam().line);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exit, ExitStatus::NothingDone);
    EXPECT_TRUE(parsed.err.starts_with("lumabatch: error: ")) << parsed.err;
    EXPECT_TRUE(parsed.err.ends_with("; try --help\n")) << parsed.err;
    EXPECT_EQ(std::count(parsed.err.begin(), parsed.err.end(), '\n'), 1) << parsed.err;
    EXPECT_NE(parsed.err.find(GetParam().mentions), std::string::npos) << parsed.err;
}

INSTANTIATE_TEST_SUITE_P(Lines, BadCommandLine,
    ::testing::Values(BadLine { "s=/a d=/b -bogus", "\"-bogus\"" },
        BadLine { "s=/a d=/b extra", "\"extra\"" }, BadLine { "s=/a d=/b -w0", "-w" },
        BadLine { "s=/a d=/b -w5001", "5001" }, BadLine { "s=/a d=/b -wabc", "abc" },
        BadLine { "s=/a d=/b -h12a", "12a" }, BadLine { R"(s=/a d=/b -w"")", "-w" },
        BadLine { "s=/a d=/b -h-5", "-5" }, BadLine { "s=/a d=/b -q0", "quality" },
        BadLine { "s=/a d=/b -q101", "101" }, BadLine { "s=/a d=/b -qhigh", "high" },
        BadLine { "d=/b -w300", "source folder" }, BadLine { "s=/a -w300", "destination folder" },
        BadLine { "s= d=/b", "s=" }, BadLine { "s=/a d=/b -sizeto(-1;-1;300)", "four values" },
        BadLine { "s=/a d=/b -sizeto(-1;-1;300;0)", "-sizeto" },
        BadLine { "s=/a d=/b -sizeto-1;-1;300;400", "()" },
        BadLine { "s=/a d=/b -exclude()", "-exclude" }, BadLine { "s=/a d=/b -dpiver0", "-dpiver" },
        BadLine { R"(s=/a d=/b -namegen=..\[counter2;0].jpg)", "outside the destination" },
        BadLine { "s=/a d=/b -namegen=sub/[counter2;0].jpg", "outside the destination" },
        BadLine { "s=/a d=/b -namegen=photo.jpg", "[counterN;S]" },
        BadLine { "s=/a d=/b -namegen=[counter2;0].png", ".jpg" },
        BadLine { "s=/a d=/b -namegen=[counterx;0].jpg", "counter" }));

} // namespace
} // namespace pxw::lumabatch
