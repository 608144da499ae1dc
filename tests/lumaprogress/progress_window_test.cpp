// The progress window in process, on the offscreen platform: what it shows for the tool's
// messages, what a screen reader reads, and when it asks the tool to cancel.

#include "progress_window.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace pxw::lumaprogress {
namespace {

TEST(ProgressWindow, ShowsTheToolsMessages) {
    ProgressWindow window([] {});
    window.show();
    for (const char* line : { "title lumabatch - converting into Z:\\home\\ana\\out", "total 300",
             "file IMG 0001 (copy).jpg", "done 41", "unknown words are ignored" })
        window.apply(QString::fromUtf8(line));
    EXPECT_EQ(window.windowTitle(), "lumabatch - converting into Z:\\home\\ana\\out");
    EXPECT_EQ(window.count()->text(), "41 of 300 images");
    EXPECT_EQ(window.bar()->maximum(), 300);
    EXPECT_EQ(window.bar()->value(), 41);
    EXPECT_EQ(window.file()->text(), "IMG 0001 (copy).jpg");
    EXPECT_TRUE(window.times()->text().startsWith("Elapsed 0:0"))
        << window.times()->text().toStdString();
    EXPECT_TRUE(window.isWindow());
    EXPECT_FALSE(window.isModal());
}

TEST(ProgressWindow, ScreenReadersFindTheBarTheCountAndCancel) {
    ProgressWindow window([] {});
    window.show();
    struct Row {
        QWidget* widget;
        QAccessible::Role role;
    };
    const Row rows[]
        = { { window.bar(), QAccessible::ProgressBar }, { window.count(), QAccessible::StaticText },
              { window.cancelButton(), QAccessible::Button } };
    for (const Row& row : rows) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(row.widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), row.role);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << row.widget->metaObject()->className();
    }
}

TEST(ProgressWindow, CancelOrClosingAsksOnceAndTheToolsEndAsksNothing) {
    struct Row {
        const char* how;
        int cancels;
    };
    const Row rows[] = { { "click Cancel", 1 }, { "close the window", 1 }, { "tool ended", 0 } };
    for (const Row& row : rows) {
        int cancels = 0;
        ProgressWindow window([&] { ++cancels; });
        window.show();
        const std::string how = row.how;
        if (how == "click Cancel")
            QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
        else if (how == "close the window")
            window.close();
        else
            window.toolEnded();
        window.close();
        EXPECT_EQ(cancels, row.cancels) << row.how;
        EXPECT_FALSE(window.isVisible()) << row.how;
    }
}

TEST(ProgressWindow, OpensOverTheProgramsWindowAndWhollyOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1024, 768)) << "the screen of tests/lumaprogress/screen.json";
    struct Row {
        const char* owner;
        bool overTheOwner; ///< its middle over the owner's; otherwise only on the screen
    };
    const Row rows[]
        = { { "100 80 700 500", true }, { "0 600 700 500", false }, { "-400 -300 500 400", false },
              { "900 700 2000 1500", false }, { "not a place", false }, { "", false } };
    for (const Row& row : rows) {
        ProgressWindow window([] {});
        window.show();
        placeOver(window, QString::fromUtf8(row.owner));
        const QRect placed = window.frameGeometry();
        EXPECT_TRUE(screen.contains(placed)) << row.owner;
        if (row.overTheOwner) {
            const QStringList n = QString::fromUtf8(row.owner).split(' ');
            const QPoint owner
                = QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()).center();
            EXPECT_LE((placed.center() - owner).manhattanLength(), 2) << row.owner;
        }
    }
}

TEST(ProgressWindow, KeepsTheProgramsTitleShortenedInTheMiddle) {
    ProgressWindow window([] {});
    const QString folder = "Z:\\home\\ana\\" + QString(200, 'x') + "\\holiday\\";
    window.keepTitle("lumabatch - converting into " + folder);
    window.apply("title lumabatch - converting into c:\\windows\\pxwtemp01");
    const QString title = window.windowTitle();
    EXPECT_TRUE(title.startsWith("lumabatch - ")) << title.toStdString();
    EXPECT_TRUE(title.endsWith("\\holiday\\")) << title.toStdString();
    EXPECT_TRUE(title.contains(QChar(0x2026))) << title.toStdString();
}

TEST(ProgressWindow, ClockText) {
    EXPECT_EQ(clockText(0), "0:00");
    EXPECT_EQ(clockText(65), "1:05");
    EXPECT_EQ(clockText(3723), "1:02:03");
}

} // namespace
} // namespace pxw::lumaprogress
