// The album window on an X server of its own, with its dialogs answered by the test.

#include "album_window.h"
#include "test_support.h"
#include "zip/album_writer.h"

#include <FL/Fl.H>
#include <gtest/gtest.h>
#include <vips/vips8>

namespace fs = std::filesystem;

// Fontconfig keeps a cache for the life of the process that LeakSanitizer would report at exit.
// The name is the one LeakSanitizer looks for.
extern "C" const char* __lsan_default_suppressions() { // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig.so\nleak:libX11.so\n";
}

namespace pxw::zip::test {
namespace {

class ScriptedDialogs final : public AlbumDialogs {
public:
    std::optional<std::string> chooseFolder() override {
        ++folderQuestions;
        return folder;
    }
    ClashReply askClash(const std::string& name, const std::string&) override {
        asked.push_back(name);
        return reply;
    }
    void tell(const std::string& message, bool problem) override {
        told.push_back((problem ? "problem: " : "") + message);
    }

    std::optional<std::string> folder;
    ClashReply reply;
    int folderQuestions = 0;
    std::vector<std::string> asked, told;
};

class AlbumWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { display = new VirtualDisplay; }
    static void TearDownTestSuite() {
        delete display;
        display = nullptr;
    }

    void SetUp() override {
        if (display->display().empty())
            GTEST_SKIP() << "Xvfb does not start here";
        fs::create_directories(dir / "src");
        icon = pngIconBytes(32, 7);
        writeFile(dir / "icon.png", icon);
        AlbumRecipe recipe { albumProgram(), dir / "icon.png", {} };
        const std::pair<int, int> sizes[] = { { 300, 400 }, { 400, 300 }, { 64, 48 } };
        for (int i = 0; i < 3; ++i) {
            std::string name = "img00" + std::to_string(i + 1) + ".jpg";
            photos.push_back(jpegBytes(sizes[i].first, sizes[i].second, i));
            writeFile(dir / "src" / name, photos.back());
            recipe.files.push_back({ name, dir / "src" / name });
        }
        ASSERT_TRUE(writeAlbum(recipe, dir / "album.exe"));
        ASSERT_TRUE(reader.open(dir / "album.exe"));
        window = std::make_unique<AlbumWindow>(reader, "album.exe", dialogs);
        window->show();
        // Waits on X events until the window is mapped, with a bound.
        for (int round = 0; round < 100 && !window->visible(); ++round)
            Fl::wait(0.1);
        ASSERT_TRUE(window->visible());
    }

    // A key press the way FLTK hands it to the window.
    void press(int key, int state = 0) {
        Fl::e_keysym = key;
        Fl::e_state = state;
        static char text[2];
        text[0] = static_cast<char>(key < 128 ? key : 0);
        Fl::e_text = text;
        Fl::e_length = key < 128 ? 1 : 0;
        Fl::handle(FL_KEYBOARD, window.get());
        Fl::e_state = 0;
    }

    static VirtualDisplay* display;
    TempFolder dir;
    std::string icon;
    std::vector<std::string> photos;
    AlbumReader reader;
    ScriptedDialogs dialogs;
    std::unique_ptr<AlbumWindow> window;
};

VirtualDisplay* AlbumWindowTest::display = nullptr;

TEST_F(AlbumWindowTest, FitsTheScreenItOpensOn) {
    int left = 0, top = 0, width = 0, height = 0;
    Fl::screen_work_area(left, top, width, height, window->x(), window->y());
    EXPECT_LE(window->w(), width);
    EXPECT_LE(window->h(), height);
}

TEST_F(AlbumWindowTest, OpensWithTheCarriedIconAndTheFirstImage) {
    vips::VImage png = vips::VImage::new_from_buffer(icon.data(), icon.size(), "");
    std::size_t length = 0;
    void* memory = png.write_to_memory(&length);
    std::vector<unsigned char> expected(
        static_cast<unsigned char*>(memory), static_cast<unsigned char*>(memory) + length);
    g_free(memory);
    ASSERT_EQ(window->iconPictures().size(), 1u);
    EXPECT_EQ(window->iconPictures()[0].pixels, expected);

    EXPECT_EQ(std::string(window->label()), "img001.jpg - album.exe");
    EXPECT_EQ(window->captionText(), "img001.jpg  (1 of 3)");
    EXPECT_EQ(window->imageBox()->picture().width, 300);
    EXPECT_EQ(window->imageBox()->picture().height, 400);
    EXPECT_FALSE(window->previousButton()->active());
}

TEST_F(AlbumWindowTest, KeysAndClicksMoveBetweenImagesAndStopAtTheEnds) {
    const auto left = [&] {
        Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
        Fl::e_x = window->imageBox()->w() / 4;
        window->imageBox()->handle(FL_PUSH);
    };
    const auto right = [&] {
        Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
        Fl::e_x = window->imageBox()->w() * 3 / 4;
        window->imageBox()->handle(FL_PUSH);
    };
    const std::pair<std::function<void()>, int> steps[] = { { [&] { press(FL_Right); }, 1 },
        { [&] { press(FL_Right); }, 2 }, { [&] { press(FL_Right); }, 2 },
        { [&] { press(FL_Left); }, 1 }, { [&] { press(FL_Home); }, 0 },
        { [&] { press(FL_Left); }, 0 }, { [&] { press(FL_End); }, 2 },
        { [&] { press('p', FL_ALT); }, 1 }, { [&] { press('n', FL_ALT); }, 2 }, { left, 1 },
        { left, 0 }, { right, 1 }, { [&] { window->previousButton()->do_callback(); }, 0 } };
    int step = 0;
    for (const auto& [act, index] : steps) {
        act();
        EXPECT_EQ(window->currentIndex(), index) << "step " << step++;
    }
    press(FL_Right);
    EXPECT_EQ(window->imageBox()->picture().width, 400);
    EXPECT_EQ(window->captionText(), "img002.jpg  (2 of 3)");
    EXPECT_EQ(std::string(window->label()), "img002.jpg - album.exe");
}

TEST_F(AlbumWindowTest, ImageIsScaledToTheWindowKeepingProportions) {
    window->resize(window->x(), window->y(), 900, 500);
    for (int i = 0; i < 3; ++i) {
        window->showImage(i);
        Fl::flush();
        const ImageBox* box = window->imageBox();
        const auto [x, y, width, height] = box->pictureRect();
        EXPECT_TRUE(x >= 0 && y >= 0 && x + width <= box->w() && y + height <= box->h()) << i;
        EXPECT_TRUE(width == box->w() || height == box->h()) << i;
        EXPECT_NEAR(
            double(width) / height, double(box->picture().width) / box->picture().height, 0.02)
            << i;
    }
}

TEST_F(AlbumWindowTest, SavingAsksOnceForAllOrForEachClash) {
    struct Case {
        AlbumDialogs::ClashReply reply;
        std::size_t questions;
        std::vector<std::string> names;
        const char* told;
    };
    const std::vector<std::string> mine { "img001.jpg", "img002.jpg", "img003.jpg" };
    const Case cases[] = {
        { { ClashAnswer::keepBoth, true }, 1,
            { "img001 (2).jpg", "img001.jpg", "img002 (2).jpg", "img002.jpg", "img003 (2).jpg",
                "img003.jpg" },
            "3 images saved into \"" },
        { { ClashAnswer::replace, false }, 3, mine, "3 images saved" },
        { { ClashAnswer::cancel, false }, 1, mine, nullptr },
    };
    for (const Case& clash : cases) {
        const fs::path out = dir / ("out" + std::to_string(static_cast<int>(clash.reply.answer)));
        fs::create_directories(out);
        for (const std::string& name : mine)
            writeFile(out / name, "mine");
        dialogs = ScriptedDialogs {};
        dialogs.folder = out.string();
        dialogs.reply = clash.reply;
        press('s', FL_ALT);
        EXPECT_EQ(dialogs.folderQuestions, 1);
        EXPECT_EQ(dialogs.asked.size(), clash.questions);
        EXPECT_EQ(folderNames(out), clash.names);
        const bool replaced = clash.reply.answer == ClashAnswer::replace;
        EXPECT_EQ(readFile(out / "img003.jpg"), replaced ? photos[2] : "mine");
        ASSERT_EQ(dialogs.told.size(), clash.told ? 1u : 0u);
        if (clash.told) {
            EXPECT_NE(dialogs.told[0].find(clash.told), std::string::npos) << dialogs.told[0];
            for (const std::string& name : clash.names) {
                const bool keptAside = name.find(" (2)") != std::string::npos;
                EXPECT_EQ(dialogs.told[0].find(name) != std::string::npos, keptAside)
                    << "the new names are named: " << dialogs.told[0];
            }
        }
    }
}

} // namespace
} // namespace pxw::zip::test
