// Names and files as users have them, through the window's Convert with the real image tool in
// a temporary prefix: every case ends in the right outputs or a warning that names the file,
// never in a changed or lost source, never in "Success!" after a failure.

#include "convert_fixture.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;
using pxw::testing::fileNames;

namespace {

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

struct OddNames : pxw::testing::ProgramWithTool {
    void SetUp() override {
        ProgramWithTool::SetUp();
        form.Check1.setValue(0);
        form.namegen.setText("trip"); // outputs trip00.jpg, trip01.jpg, ...
    }

    /// A real photo 300 pixels wide and `height` high at `relative` on drive D: (made under a
    /// plain name, then renamed, so no shell ever sees the odd one).
    fs::path photo(const std::string& relative, int height = 200) {
        fs::path file = prefix.driveD() / relative;
        fs::create_directories(file.parent_path());
        pxw::testing::makeJpeg(prefix.root() / "plain.jpg", 300, height);
        fs::rename(prefix.root() / "plain.jpg", file);
        return file;
    }
};

TEST_F(OddNames, EachCaseEndsInItsOutputsOrAWarningNamingTheFile) {
    struct Case {
        std::string name; // under D:, as listed
        std::function<void(const fs::path&)> before; // after listing, before Convert
        bool converted; // else: a warning that names the entry
        const char* skipWhy = nullptr; // set when the machine cannot show the case
    };
    const bool root = ::geteuid() == 0;
    const Case cases[] = {
        { "accents/Émile Zoë ß.jpg", {}, true },
        { "日本 旅行/東京 😀.jpg", {}, true },
        { "Ёлка/ёлка.JPG", {}, true },
        { "odd/ lead and trail .jpg", {}, true },
        { "odd/-dash.jpg", {}, true },
        { "odd/100% [1] a;b.jpg", {}, true },
        { "odd/it's \"quoted\".jpg", {}, true },
        { "odd/UPPER.JPEG.TIF", {}, true },
        { "long/" + std::string(251, 'n') + ".jpg", {}, true },
        { "nfd/Cafe\xcc\x81.jpg", {}, true },
        { "latin1/caf\xe9.jpg", {}, true },
        { "links/link.jpg",
            [](const fs::path& file) {
                fs::rename(file, file.parent_path() / "target.jpg");
                fs::create_symlink("target.jpg", file);
            },
            true },
        { "readonly/kept.jpg",
            [](const fs::path& file) {
                fs::permissions(file, fs::perms::owner_read);
                fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
            },
            true },
        { "gone/deleted.jpg", [](const fs::path& file) { fs::remove(file); }, false },
        { "locked/unreadable.jpg",
            [](const fs::path& file) { fs::permissions(file, fs::perms::none); }, false,
            root ? "running as root, which reads any file" : nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.skipWhy) {
            std::printf("case \"%s\" left out: %s\n", c.name.c_str(), c.skipWhy);
            continue;
        }
        toolkit.messages.clear();
        form.FileList.Clear();
        const fs::path file = photo(c.name, 150);
        list(c.name);
        if (c.before)
            c.before(file);
        const bool existed = fs::exists(file);
        const std::string before = existed ? contentOf(file) : "";
        const fs::path out = prefix.driveD() / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        convertInto("D:\\out\\");

        ASSERT_EQ(toolkit.messages.size(), 1u);
        const std::string& told = toolkit.messages[0].prompt;
        if (c.converted) {
            EXPECT_EQ(told.rfind("Success!", 0), 0u) << told;
            EXPECT_EQ(fileNames(out), std::vector<std::string> { "trip00.jpg" });
            EXPECT_EQ(pxw::testing::imageSize(out / "trip00.jpg"), std::make_pair(300, 150));
        } else {
            EXPECT_EQ(told.find("Success!"), std::string::npos) << told;
            EXPECT_NE(told.find(form.FileList.List(0)), std::string::npos) << told;
            EXPECT_TRUE(fileNames(out).empty());
        }
        EXPECT_EQ(fs::exists(file), existed);
        if (existed) {
            fs::permissions(file, fs::perms::owner_read, fs::perm_options::add);
            EXPECT_EQ(contentOf(file), before) << "the source is unchanged";
        }
        EXPECT_TRUE(fileNames(prefix.workFolder()).empty()) << "no copy was left behind";
    }
}

// The tool numbers the outputs in the order the window's list shows them, for names in any
// script: trip00.jpg is the first entry, trip01.jpg the second, and so on.
TEST_F(OddNames, OutputNumbersFollowTheListOrder) {
    const std::vector<std::string> names = { "zebra.jpg", "Émile.jpg", "äpfelmus.jpg", "Äpfel.jpg",
        "Apfel.jpg", "ёлка.jpg", "Ель.jpg", "東京.jpg", "10.jpg", "2.jpg", " blank.jpg",
        "-dash.jpg", "_under.jpg", "Straße.jpg", "Strassen.jpg", "émile2.jpg" };
    std::map<std::string, int> heightOf;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int height = 100 + 10 * static_cast<int>(i);
        photo("trip/" + names[i], height);
        list("trip/" + names[i]);
        heightOf["D:\\trip\\" + names[i]] = height;
    }
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    ASSERT_EQ(toolkit.messages[0].title, "Pixelwain") << toolkit.messages[0].prompt;
    for (int k = 0; k < form.FileList.ListCount(); ++k) {
        const std::string output
            = "trip" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".jpg";
        EXPECT_EQ(pxw::testing::imageSize(prefix.driveD() / "out" / output).second,
            heightOf[form.FileList.List(k)])
            << output << " should come from " << form.FileList.List(k);
    }
}

// Names the same but for letter case, in any script, are different files here: none is lost.
TEST_F(OddNames, NamesEqualButForCaseAreAllConverted) {
    for (const char* name : { "Äpfel.jpg", "äpfel.jpg", "STRASSE.jpg", "straße.jpg", "a.jpg" }) {
        photo(std::string("same/") + name);
        list(std::string("same/") + name);
    }
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    EXPECT_EQ(toolkit.messages.back().title, "Pixelwain") << toolkit.messages.back().prompt;
    EXPECT_EQ(fileNames(prefix.driveD() / "out").size(), 5u);
}

// Run by CTest under `unshare -rm` with a small tmpfs at $PXW_FULL_FOLDER, mapped as drive E:.
TEST_F(OddNames, AFullOutputFolderIsToldAndNothingIsLost) {
    const char* full = std::getenv("PXW_FULL_FOLDER");
    if (!full)
        GTEST_SKIP() << "needs a full file system: run by the CTest entry odd_names_full_disk";
    fs::create_directory_symlink(full, prefix.prefix() / "dosdevices" / "e:");
    const fs::path source = photo("big.jpg", 400);
    const std::string before = contentOf(source);
    list("big.jpg");
    {
        std::ofstream filler(fs::path(full) / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            ;
    }
    convertInto("E:\\");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    const std::string& told = toolkit.messages[0].prompt;
    EXPECT_EQ(toolkit.messages[0].title, "Warning") << told;
    EXPECT_NE(told.find("big.jpg"), std::string::npos) << told;
    EXPECT_EQ(contentOf(source), before);
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "big.jpg" })
        << "the staged copy stays where the message says";
}

} // namespace
