#include "naming.h"
#include "progress.h"
#include "sources.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sstream>

namespace pxw::lumabatch {
namespace {

NameTemplate parsed(std::string_view text) {
    std::string error;
    std::optional<NameTemplate> names = NameTemplate::parse(text, &error);
    EXPECT_TRUE(names) << error;
    return names.value_or(*NameTemplate::parse("[counter1;0].jpg", nullptr));
}

struct NameCase {
    const char* pattern;
    std::uint64_t index;
    const char* name;
};

class Naming : public ::testing::TestWithParam<NameCase> { };

TEST_P(Naming, GivesTheRunningName) {
    EXPECT_EQ(parsed(GetParam().pattern).nameFor(GetParam().index), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Patterns, Naming,
    ::testing::Values(NameCase { "[counter2;0].jpg", 0, "00.jpg" },
        NameCase { "[counter2;0].jpg", 1, "01.jpg" }, NameCase { "[counter2;0].jpg", 99, "99.jpg" },
        // Counters grow wider instead of repeating.
        NameCase { "[counter2;0].jpg", 100, "100.jpg" },
        NameCase { "[counter2;1].jpg", 99, "100.jpg" },
        NameCase { "[counter1;0].jpg", 10, "10.jpg" }, NameCase { "[counter1;1].jpg", 0, "1.jpg" },
        NameCase { "trip[counter2;1].jpg", 0, "trip01.jpg" },
        NameCase { "My Trip (2024) [counter2;1].jpg", 2, "My Trip (2024) 03.jpg" },
        NameCase { "a[counter3;7]_small.JPG", 0, "a007_small.JPG" },
        NameCase { "[COUNTER2;0].jpeg", 5, "05.jpeg" }));

TEST(Naming, RefusesNamesLeavingTheFolder) {
    for (const char* pattern :
        { R"(..\[counter2;0].jpg)", "../[counter2;0].jpg", "sub/[counter2;0].jpg",
            R"(c:\x[counter2;0].jpg)", "[counter2;0]..jpg", "/tmp/[counter2;0].jpg" }) {
        std::string error;
        EXPECT_FALSE(NameTemplate::parse(pattern, &error)) << pattern;
        EXPECT_NE(error.find("outside the destination"), std::string::npos) << error;
    }
}

TEST(Naming, KeptBaseNames) {
    EXPECT_EQ(keptBaseName("IMG_0001.png"), "IMG_0001.jpg");
    EXPECT_EQ(keptBaseName("archive.tar.gz"), "archive.tar.jpg");
    EXPECT_EQ(keptBaseName("README"), "README.jpg");
    EXPECT_EQ(keptBaseName(".hidden"), ".hidden.jpg");
}

TEST(Sources, AToZIgnoringCaseWithoutExcludedAndWorkFiles) {
    test::TempFolder folder;
    for (const char* name :
        { "b.jpg", "A.jpg", "c.JPG", "a2.png", "Thumbs.db", "x.DB", ".lumabatch-out-123456" })
        test::writeBytes(folder / name, "x");
    std::filesystem::create_directory(folder / "sub");
    std::string error;
    auto sources = listSources(folder.path(), { "db" }, true, &error);
    ASSERT_TRUE(sources) << error;
    std::vector<std::string> names;
    for (const SourceFile& source : *sources)
        names.push_back(source.name + (source.folder ? "/" : ""));
    // Folders are listed, to be named in the report.
    EXPECT_EQ(names, (std::vector<std::string> { "A.jpg", "a2.png", "b.jpg", "c.JPG", "sub/" }));
}

TEST(Sources, ByteOrderWithoutSorting) {
    test::TempFolder folder;
    for (const char* name : { "b.jpg", "B.jpg", "a.jpg" })
        test::writeBytes(folder / name, "x");
    auto sources = listSources(folder.path(), {}, false, nullptr);
    ASSERT_TRUE(sources);
    ASSERT_EQ(sources->size(), 3u);
    EXPECT_EQ((*sources)[0].name, "B.jpg");
    EXPECT_EQ((*sources)[1].name, "a.jpg");
}

TEST(Sources, MissingFolderIsAnError) {
    test::TempFolder folder;
    std::string error;
    EXPECT_FALSE(listSources(folder / "missing", {}, true, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(Progress, BarShowsCountAndCurrentFile) {
    std::ostringstream err;
    Progress progress(err, true, 2);
    progress.started("first.jpg");
    progress.finished();
    progress.report("lumabatch: bad.jpg: broken");
    progress.close();
    std::string text = err.str();
    EXPECT_NE(text.find("0/2 first.jpg"), std::string::npos) << text;
    EXPECT_NE(text.find("1/2 first.jpg"), std::string::npos) << text;
    EXPECT_NE(text.find("lumabatch: bad.jpg: broken\n"), std::string::npos) << text;
}

TEST(Progress, PlainLinesWithoutATerminal) {
    std::ostringstream err;
    Progress progress(err, false, 2);
    progress.started("first.jpg");
    progress.finished();
    progress.report("lumabatch: bad.jpg: broken");
    EXPECT_EQ(err.str(), "lumabatch: bad.jpg: broken\n");
}

} // namespace
} // namespace pxw::lumabatch
