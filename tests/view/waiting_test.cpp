// While Convert waits for the image tool the real window keeps handling input: its events run,
// other controls work, and a second job is refused. The image tool is a stand-in that runs
// until the test lets it end, in a temporary prefix.

#include "app/program.h"
#include "fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"
#include "view/qt_file_dialog.h"
#include "view/qt_toolkit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pxw;

namespace {

class CountingToolkit : public view::QtToolkit {
public:
    using QtToolkit::QtToolkit;
    void beep() override { ++beeps; }
    void messageBox(const std::string& prompt, platform::MessageIcon, const std::string&) override {
        messages.push_back(prompt);
    }
    int beeps = 0;
    std::vector<std::string> messages;
};

} // namespace

TEST(WaitingForTheTool, WindowStaysResponsiveAndASecondJobIsRefused) {
    pxw::testing::TempPrefix prefix;
    const fs::path gate = prefix.root() / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    std::ofstream(prefix.toolFile()) << "#!/bin/sh\ncat '" << gate.string() << "' > /dev/null\n";
    fs::permissions(prefix.toolFile(), fs::perms::owner_all);
    std::ofstream(prefix.driveD() / "a.jpg") << "image";

    const platform::DriveMap drives = prefix.drives();
    CountingToolkit toolkit(drives);
    view::QtFileDialogService dialogs(toolkit.windows(), drives);
    int dialogsShown = 0;
    dialogs.setRunner([&](QFileDialog&) -> std::optional<QStringList> {
        ++dialogsShown;
        return QStringList { QString::fromStdString(
            (prefix.driveD() / "Select Folder and click Open").string()) };
    });
    platform::PosixFileSystem files(drives);
    platform::PosixProcesses processes(drives);
    pxw::testing::RecordingZipFactory zip;
    platform::Services services { toolkit, dialogs, files, processes, zip };
    app::Program program(services);
    program.load();
    view::MainWindow& window = toolkit.createMainWindow(program.form);
    window.present();
    program.form.FileList.AddItem("D:\\a.jpg");

    auto* convert = qobject_cast<QPushButton*>(window.view().widgetOf("Convert"));
    auto* build = qobject_cast<QPushButton*>(window.view().widgetOf("Createalbum"));
    auto* width = qobject_cast<QLineEdit*>(window.view().widgetOf("txtWidth"));
    ASSERT_TRUE(convert && build && width);

    bool ranDuringTheWait = false;
    Qt::CursorShape cursorDuringTheWait = Qt::ArrowCursor;
    QTimer::singleShot(0, [&] {
        ranDuringTheWait = program.form.waitingForTool;
        cursorDuringTheWait = window.cursor().shape();
        QTest::mouseClick(convert, Qt::LeftButton);
        QTest::mouseClick(build, Qt::LeftButton);
        width->selectAll();
        QTest::keyClicks(width, "640");
        // Let the tool end.
        int fd = ::open(gate.c_str(), O_WRONLY);
        if (fd >= 0)
            ::close(fd);
    });
    QTest::mouseClick(convert, Qt::LeftButton);

    EXPECT_TRUE(ranDuringTheWait) << "the window's events ran while the tool was running";
    EXPECT_EQ(cursorDuringTheWait, Qt::BusyCursor);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(toolkit.beeps, 2);
    EXPECT_EQ(dialogsShown, 1) << "the refused commands asked nothing";
    EXPECT_EQ(program.form.txtWidth.text(), "640");
    EXPECT_FALSE(program.form.waitingForTool);
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_NE(toolkit.messages[0].find("could not be converted"), std::string::npos)
        << "the stand-in converted nothing, and the message says so: " << toolkit.messages[0];
}
