#include "view/qt_toolkit.h"
#include "view_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace pxw;
using platform::MessageIcon;
using view::QtToolkit;
using viewtest::ViewHarness;

namespace {

class Pipe {
public:
    Pipe() {
        if (pipe2(fds_, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
    }
    ~Pipe() {
        close(fds_[0]);
        close(fds_[1]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return fds_[0]; }
    void write() const { ASSERT_EQ(::write(fds_[1], "x", 1), 1); }

private:
    int fds_[2] = { -1, -1 };
};

// Ends a wait that went wrong, so a failing test reports instead of hanging.
class Guard {
public:
    explicit Guard(int milliseconds) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { fired_ = true; });
        timer_.start(milliseconds);
    }
    bool fired() const { return fired_; }

private:
    QTimer timer_;
    bool fired_ = false;
};

void drainPendingEvents() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST(QtToolkit, MessageBoxHasTheIconTitlePromptAndOneOkButton) {
    ViewHarness h;
    struct Row {
        MessageIcon icon;
        QMessageBox::Icon shownIcon;
        const char* prompt;
        const char* title;
    };
    const Row rows[] = {
        { MessageIcon::Exclamation, QMessageBox::Warning, "Nothing to remove!", "Pixelwain" },
        { MessageIcon::Information, QMessageBox::Information, "Accept integer(1-5000) only  ",
            "Warning" },
        { MessageIcon::None, QMessageBox::NoIcon, "Success! <b>not bold</b>", "Pixelwain" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.prompt);
        viewtest::ShownMessage shown;
        viewtest::answerNextMessageBox(shown);
        h.toolkit.messageBox(row.prompt, row.icon, row.title);
        ASSERT_TRUE(shown.seen);
        EXPECT_EQ(shown.icon, row.shownIcon);
        EXPECT_EQ(shown.title, row.title);
        EXPECT_EQ(shown.text, row.prompt);
        EXPECT_EQ(shown.buttons, 1);
        EXPECT_EQ(shown.parent, h.window);
    }
}

TEST(QtToolkit, PumpReturnsWhenTheDescriptorIsReadable) {
    viewtest::TempDrives temp;
    QtToolkit toolkit(temp.drives());
    Pipe pipe;
    drainPendingEvents();
    pipe.write();
    Guard guard(5000);
    toolkit.processPendingEvents(pipe.readEnd());
    EXPECT_FALSE(guard.fired());
}

TEST(QtToolkit, PumpReturnsWhenAnotherThreadMakesTheDescriptorReadable) {
    viewtest::TempDrives temp;
    QtToolkit toolkit(temp.drives());
    Pipe pipe;
    drainPendingEvents();
    Guard guard(5000);
    std::thread writer([&pipe] { pipe.write(); });
    toolkit.processPendingEvents(pipe.readEnd());
    writer.join();
    EXPECT_FALSE(guard.fired());
}

TEST(QtToolkit, PumpSleepsUntilAnEventArrives) {
    viewtest::TempDrives temp;
    QtToolkit toolkit(temp.drives());
    Pipe pipe;
    drainPendingEvents();

    // Nothing but the timer's event can end this wait: it must last until then.
    QElapsedTimer elapsed;
    elapsed.start();
    Guard timerEvent(100);
    toolkit.processPendingEvents(pipe.readEnd());
    EXPECT_TRUE(timerEvent.fired());
    EXPECT_GE(elapsed.elapsed(), 90);

    // An event posted from another thread wakes it as well.
    QObject receiver;
    bool delivered = false;
    Guard guard(5000);
    std::thread poster([&] {
        QMetaObject::invokeMethod(
            &receiver, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    });
    toolkit.processPendingEvents(pipe.readEnd());
    poster.join();
    EXPECT_TRUE(delivered);
    EXPECT_FALSE(guard.fired());
}

TEST(QtToolkit, AReadableDescriptorDoesNotWakeTheLoopAfterThePump) {
    viewtest::TempDrives temp;
    QtToolkit toolkit(temp.drives());
    Pipe pipe;
    pipe.write(); // stays readable: nobody reads it
    toolkit.processPendingEvents(pipe.readEnd());
    drainPendingEvents();

    // Until the timer's event the loop sleeps: it wakes a few times at most, not at every turn.
    Guard timerEvent(60);
    int turns = 0;
    while (!timerEvent.fired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++turns;
    }
    EXPECT_LE(turns, 5);
}

TEST(QtToolkit, PumpWithoutDescriptorRunsPendingEventsAndReturns) {
    viewtest::TempDrives temp;
    QtToolkit toolkit(temp.drives());
    QObject receiver;
    bool delivered = false;
    QMetaObject::invokeMethod(
        &receiver, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    toolkit.processPendingEvents(-1);
    EXPECT_TRUE(delivered);
    toolkit.processPendingEvents(-1); // nothing pending: returns at once
}

TEST(QtToolkitDeathTest, EndProgramEndsAtOnceAfterFlushingOutput) {
    viewtest::TempFolder folder;
    const std::string file = (folder.path() / "out.txt").string();
    viewtest::TempDrives temp;
    EXPECT_EXIT(
        {
            QtToolkit toolkit(temp.drives());
            std::FILE* out = std::fopen(file.c_str(), "w");
            std::fputs("written before the end", out);
            toolkit.endProgram();
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream written(file);
    std::string text;
    std::getline(written, text);
    EXPECT_EQ(text, "written before the end");
}
