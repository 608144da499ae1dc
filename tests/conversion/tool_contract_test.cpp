// The window's command lines, built from the model and split by the launcher's rule, read by
// the image tool's own option parser: every number the fields accept reaches the tool as the
// same number, in the C locale and in a comma-decimal one, on all three command lines.

#include "fakes.h"
#include "inputs/input_commands.h"
#include "job/command_lines.h"
#include "options.h"
#include "platform/windows_path.h"

#include <clocale>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

// glibc keeps the search path of LOCPATH (set for the comma-decimal locale) to the end.
extern "C" const char* __lsan_default_suppressions() { // NOLINT(bugprone-reserved-identifier)
    return "leak:__argz_add_sep\n";
}

namespace {

using pxw::ui::frmBackupFiles;

TEST(ToolContract, TheToolReadsEveryFieldAsTheWindowAcceptedIt) {
    struct Row {
        const char* width;
        const char* height;
        const char* quality;
        int expectedWidth, expectedHeight, expectedQuality;
    };
    const Row rows[] = {
        { ".6", "2.5", " 7 ", 1, 2, 7 },
        { "300.6", "400", "90", 301, 400, 90 },
        { "+5000", " 3.5", "98.6", 5000, 4, 99 },
        { "0000012", "1.49999", "\t1\t", 12, 1, 1 },
    };
    auto words = [](const std::string& line) { return pxw::platform::splitCommandLine(line); };
    const struct {
        const char* name;
        std::function<std::vector<std::string>(const frmBackupFiles&)> arguments;
        const char* firstName;
    } variants[] = {
        { "convert", [&](auto& f) { return words(pxw::job::convertParameters(f)); }, "trip01.jpg" },
        { "album", [&](auto& f) { return words(pxw::job::albumParameters(f)); }, "trip01.jpg" },
        { "quick", // the program's own path first
            [&](auto& f) {
                std::vector<std::string> line = words(pxw::job::quickCommandLine(f));
                line.erase(line.begin());
                return line;
            },
            "00.jpg" },
    };

    // Only for this test: the image tools the other tests start would find it too.
    struct LocalePath {
        LocalePath() { ::setenv("LOCPATH", PXW_TEST_LOCPATH, 1); }
        ~LocalePath() { ::unsetenv("LOCPATH"); }
    } localePath;
    const std::string before = std::setlocale(LC_ALL, nullptr);
    int localesRun = 0;
    for (const char* locale : { "C", "de_DE.UTF-8" }) {
        if (!std::setlocale(LC_ALL, locale)) {
            std::printf("locale %s is missing: not checked under it\n", locale);
            continue;
        }
        ++localesRun;
        for (const Row& row : rows) {
            pxw::testing::FakeServices fake;
            frmBackupFiles form;
            pxw::inputs::InputCommands commands(form, fake.services);
            form.txtWidth.setText(row.width);
            form.txtHeight.setText(row.height);
            form.compressQ.setText(row.quality);
            form.namef.setText("trip[counter2;1].jpg");
            form.DestDir.setText("D:\\my photos\\");
            ASSERT_TRUE(fake.toolkit.messages.empty()) << "the window refused " << row.width;
            ASSERT_EQ(form.txtWidth.text(), row.width);

            for (const auto& variant : variants) {
                SCOPED_TRACE(std::string(locale) + ", " + variant.name + ": " + row.width + "|"
                    + row.height + "|" + row.quality);
                std::ostringstream out, err;
                const pxw::lumabatch::ParseResult parsed
                    = pxw::lumabatch::parseCommandLine(variant.arguments(form), out, err);
                const auto* options = std::get_if<pxw::lumabatch::Options>(&parsed);
                ASSERT_TRUE(options) << err.str();
                EXPECT_EQ(options->width, row.expectedWidth);
                EXPECT_EQ(options->height, row.expectedHeight);
                EXPECT_EQ(options->quality, row.expectedQuality);
                EXPECT_EQ(options->names->nameFor(0), variant.firstName);
                EXPECT_TRUE(options->sortAZ);
                EXPECT_TRUE(options->removeSources);
            }
        }
    }
    std::setlocale(LC_ALL, before.c_str());
    if (localesRun < 2)
        GTEST_SKIP() << "the comma-decimal locale de_DE.UTF-8 is missing (localedef)";
}

} // namespace
