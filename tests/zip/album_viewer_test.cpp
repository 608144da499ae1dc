// The album window, on Qt's offscreen platform.

#include "album_viewer.h"
#include "album_writer.h"
#include "test_support.h"

#include <QApplication>
#include <QBuffer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

// Fontconfig keeps a cache for the life of the process that LeakSanitizer would report at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace pxw::zip::test {
namespace {

class AlbumViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "pxw_album_viewer_tests";
        static char* argv[] = { name, nullptr };
        if (!qApp)
            new QApplication(argc, argv);
    }

    void SetUp() override {
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
        album = dir / "album.exe";
        Status written = writeAlbum(recipe, album);
        ASSERT_TRUE(written) << written.message();
        Status opened = reader.open(album);
        ASSERT_TRUE(opened) << opened.message();
    }

    TempDir dir;
    std::string icon;
    std::vector<std::string> photos;
    fs::path album;
    AlbumReader reader;
};

QImage sameFormat(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

TEST_F(AlbumViewerTest, OpensWithTheCarriedIconAndTheFirstImage) {
    AlbumViewer viewer(reader, "album.exe");
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));

    QImage expectedIcon = QImage::fromData(QByteArray::fromStdString(icon));
    ASSERT_FALSE(expectedIcon.isNull());
    ASSERT_FALSE(viewer.windowIcon().isNull());
    EXPECT_EQ(sameFormat(viewer.windowIcon().pixmap(expectedIcon.size()).toImage()),
        sameFormat(expectedIcon));

    EXPECT_EQ(viewer.imageCount(), 3);
    EXPECT_EQ(viewer.currentIndex(), 0);
    EXPECT_EQ(viewer.currentImage().size(), QSize(300, 400));
    EXPECT_TRUE(viewer.captionText().contains("img001.jpg"));
    EXPECT_TRUE(viewer.windowTitle().contains("album.exe"));
    EXPECT_FALSE(viewer.previousButton()->isEnabled());
}

TEST_F(AlbumViewerTest, ArrowKeysMoveBetweenImagesAndStopAtTheEnds) {
    AlbumViewer viewer(reader, "album.exe");
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    const int expected[][2]
        = { { Qt::Key_Right, 1 }, { Qt::Key_Right, 2 }, { Qt::Key_Right, 2 }, { Qt::Key_Left, 1 },
              { Qt::Key_Left, 0 }, { Qt::Key_Left, 0 }, { Qt::Key_End, 2 }, { Qt::Key_Home, 0 } };
    for (const auto& [key, index] : expected) {
        QTest::keyClick(&viewer, static_cast<Qt::Key>(key));
        EXPECT_EQ(viewer.currentIndex(), index) << "after key " << key;
    }
    QTest::keyClick(&viewer, Qt::Key_Right);
    EXPECT_EQ(viewer.currentImage().size(), QSize(400, 300));
    EXPECT_TRUE(viewer.captionText().contains("img002.jpg"));
    EXPECT_TRUE(viewer.captionText().contains("2 of 3"));
}

TEST_F(AlbumViewerTest, MouseMovesWithButtonsAndClicksOnTheImage) {
    AlbumViewer viewer(reader, "album.exe");
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    QTest::mouseClick(viewer.nextButton(), Qt::LeftButton);
    EXPECT_EQ(viewer.currentIndex(), 1);
    ImageView* view = viewer.imageView();
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() * 3 / 4, view->height() / 2));
    EXPECT_EQ(viewer.currentIndex(), 2);
    EXPECT_FALSE(viewer.nextButton()->isEnabled());
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 4, view->height() / 2));
    EXPECT_EQ(viewer.currentIndex(), 1);
    QTest::mouseClick(viewer.previousButton(), Qt::LeftButton);
    EXPECT_EQ(viewer.currentIndex(), 0);
    // Buttons never take the focus, so the arrow keys keep working after a click.
    QTest::keyClick(&viewer, Qt::Key_Right);
    EXPECT_EQ(viewer.currentIndex(), 1);
}

TEST_F(AlbumViewerTest, ImageIsScaledToTheWindowKeepingProportions) {
    AlbumViewer viewer(reader, "album.exe");
    viewer.resize(900, 500);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    for (int i = 0; i < 3; ++i) {
        viewer.showImage(i);
        QRect drawn = viewer.imageView()->imageRect();
        QSize original = viewer.currentImage().size();
        EXPECT_TRUE(viewer.imageView()->rect().contains(drawn)) << i;
        EXPECT_TRUE(drawn.width() == viewer.imageView()->width()
            || drawn.height() == viewer.imageView()->height())
            << i;
        EXPECT_NEAR(double(drawn.width()) / drawn.height(),
            double(original.width()) / original.height(), 0.02)
            << i;
    }
}

TEST_F(AlbumViewerTest, SavesAllImagesIntoAFolder) {
    AlbumViewer viewer(reader, "album.exe");
    const fs::path out = dir / "saved";
    Status saved = viewer.saveAllInto(QString::fromStdString(out.string()));
    ASSERT_TRUE(saved) << saved.message();
    EXPECT_EQ(
        folderNames(out), (std::vector<std::string> { "img001.jpg", "img002.jpg", "img003.jpg" }));
    EXPECT_EQ(readFile(out / "img003.jpg"), photos[2]);
}

TEST_F(AlbumViewerTest, IcoFileGivesItsImage) {
    // The default album icon is an .ico file, here one written by Qt's own icon writer.
    QImage small(16, 16, QImage::Format_ARGB32);
    small.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(small.save(&buffer, "ICO"));
    QIcon icon = AlbumViewer::iconFromBytes(bytes);
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
}

} // namespace
} // namespace pxw::zip::test
