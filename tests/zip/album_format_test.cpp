#include "albumfile/album_format.h"
#include "albumfile/album_program.h"
#include "albumfile/album_reader.h"
#include "base/unique_fd.h"
#include "test_support.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pxw::zip::test {
namespace {

TEST(IconComment, RoundTrips) {
    std::optional<IconPlace> place = parseIconComment(iconComment({ 3437640, 4286 }));
    ASSERT_TRUE(place);
    EXPECT_EQ(place->offset, 3437640u);
    EXPECT_EQ(place->length, 4286u);
}

TEST(IconComment, RefusesAnyOtherText) {
    for (const char* text : { "", "pxwalbum icon offset=1", "pxwalbum icon offset=1 length=",
             "pxwalbum icon offset=-1 length=2", "pxwalbum icon offset=+1 length=2",
             "pxwalbum icon offset=1 length=2 ", "pxwalbum icon offset=1x length=2",
             "pxwalbum icon offset=99999999999999999999 length=2",
             "PXWALBUM icon offset=1 length=2" })
        EXPECT_FALSE(parseIconComment(text)) << text;
}

TEST(EntryName, PlainNamesPass) {
    for (const char* name :
        { "img001.jpg", "Holiday photo (2).JPG", "a..b.jpg", "été.jpg", "a b.jpg" })
        EXPECT_FALSE(refusedEntryName(name)) << name;
}

TEST(EntryName, PathsAndTricksAreRefused) {
    for (const char* name : { "", "..", ".", "../a", "a/../../b", "..\\a", "a\\b", "/etc/passwd",
             "C:a", "c:\\a", "sub/a", "sub/", "a\tb", "a\x7f", ".hidden", "..jpg", "gpj\u202e.exe",
             "a\u0085b", "\xff.jpg" })
        EXPECT_TRUE(refusedEntryName(name)) << name;
    EXPECT_TRUE(refusedEntryName(std::string(256, 'a')));
}

TEST(KeepBothName, NumbersTheNameAndStaysWithin255Bytes) {
    const std::pair<std::string, std::string> names[] = { { "00.jpg", "00 (2).jpg" },
        { ".hidden", ".hidden (2)" }, { "notes", "notes (2)" }, { "a.tar.gz", "a.tar (2).gz" } };
    for (const auto& [name, expected] : names)
        EXPECT_EQ(keepBothName(name, 2), expected);
    // 125 two-byte characters: the stem is shortened by whole characters.
    std::string accented;
    for (int i = 0; i < 125; ++i)
        accented += "\xc3\xa9";
    for (const std::string& name :
        { accented + ".jpg", std::string(255, 'a'), "a." + std::string(253, 'j') }) {
        std::string numbered = keepBothName(name, 100);
        EXPECT_LE(numbered.size(), 255u) << name;
        EXPECT_NE(numbered.find(" (100)"), std::string::npos) << numbered;
        EXPECT_FALSE(refusedEntryName(numbered)) << numbered;
    }
    EXPECT_TRUE(keepBothName(accented + ".jpg", 100).ends_with("\xc3\xa9 (100).jpg"));
}

struct Tail {
    std::string bytes;
    bool found;
};

void PrintTo(const Tail& tail, std::ostream* out) {
    *out << tail.bytes.size() << " bytes, " << (tail.found ? "an archive" : "no archive");
}

class ArchiveEndTest : public ::testing::TestWithParam<Tail> { };

TEST_P(ArchiveEndTest, IsFoundOnlyWhenItEndsTheFile) {
    TempFolder dir;
    writeFile(dir / "f", GetParam().bytes);
    base::UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY));
    std::string error;
    std::optional<ArchiveEnd> end = findArchiveEnd(fd.get(), GetParam().bytes.size(), &error);
    EXPECT_EQ(end.has_value(), GetParam().found) << error;
    if (!end) {
        EXPECT_FALSE(error.empty());
    }
}

// An empty archive's end record: no entries, directory at offset `at`, with a comment.
std::string endRecord(std::uint32_t at, const std::string& comment) {
    std::string record("PK\x05\x06", 4);
    record += std::string(12, '\0');
    record += std::string(reinterpret_cast<const char*>(&at), 4);
    auto length = static_cast<std::uint16_t>(comment.size());
    record += std::string(reinterpret_cast<const char*>(&length), 2);
    return record + comment;
}

INSTANTIATE_TEST_SUITE_P(Files, ArchiveEndTest,
    ::testing::Values(Tail { "", false }, Tail { "short", false },
        Tail { std::string(5000, 'x'), false },
        Tail { std::string(100, 'x') + endRecord(100, "hello"), true },
        Tail { endRecord(0, ""), true },
        // A record whose comment would run past the end, or stop short of it.
        Tail { std::string(100, 'x') + endRecord(100, "hello").substr(0, 25), false },
        Tail { std::string(100, 'x') + endRecord(100, "hello") + "trailing", false },
        // The directory must end where the record starts.
        Tail { std::string(100, 'x') + endRecord(90, ""), false },
        // A signature inside the comment is passed over for the real record.
        Tail { std::string(10, 'x') + endRecord(10, "PK\x05\x06 inside"), true }));

TEST(WindowsProgram, WhatIsNotOneOrNotAnIconIsRefusedWithAReason) {
    std::string peLess = "MZ" + std::string(62, '\0');
    peLess[0x3C] = 0x40;
    const std::string program = readFile(albumProgram()); // a Linux program: no MZ header
    const std::string icon = pngIconBytes(16, 1);
    std::string outside = std::string("\0\0\1\0\1\0", 6) + std::string(16, '\0');
    outside[6 + 8] = 0x10; // 16 bytes at offset 0: overlaps the directory
    for (const auto& [windows, iconBytes] :
        { std::pair { program, icon }, { peLess, icon }, { std::string("MZ"), icon } }) {
        std::string error;
        EXPECT_FALSE(dualAlbumProgram(windows, "linux", &error));
        EXPECT_THAT(error, ::testing::HasSubstr("the Windows album program has no"));
        error.clear();
        EXPECT_FALSE(withIconResources(windows, iconBytes, &error));
        EXPECT_THAT(error, ::testing::HasSubstr("the Windows album program has no"));
    }
    for (const std::string& bad : { std::string("not an icon"), outside, std::string() }) {
        std::string error;
        EXPECT_FALSE(withIconResources(program, bad, &error));
        EXPECT_EQ(error, "the icon is neither an .ico file nor a PNG image");
    }
}

} // namespace
} // namespace pxw::zip::test
