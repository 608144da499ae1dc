// The progress window in process, on the offscreen platform: what it shows for the tool's
// messages, what a screen reader reads, and when it asks the tool to cancel.

#include "base/text.h"
#include "progress_window.h"

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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
    // A name from outside moves, clears or reorders nothing.
    const QString forged = QString::fromUtf8("file a\x1b[2J\u202Eb\tc");
    window.apply(forged);
    EXPECT_EQ(window.file()->text().toStdString(), base::printable(forged.toStdString().substr(5)));
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

TEST(ProgressWindow, ClockText) {
    EXPECT_EQ(clockText(0), "0:00");
    EXPECT_EQ(clockText(65), "1:05");
    EXPECT_EQ(clockText(3723), "1:02:03");
}

} // namespace
} // namespace pxw::lumaprogress
