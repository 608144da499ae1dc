// A folder of many images dropped onto the real window (the real Qt view, the real file system
// in a temporary prefix), timed from the drop until the list shows every image; and the
// staging of as many listed images, with the copying left out, so that only the naming counts.

#include "inputs/input_commands.h"
#include "job/staging.h"
#include "platform/posix/posix_file_system.h"
#include "ui/frm_backup_files.h"
#include "view/form_windows.h"
#include "view/qt_file_dialog.h"
#include "view/qt_toolkit.h"

#include <QApplication>
#include <QListWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pxw::platform;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Every call but copying goes to the real file system.
class NoCopyFiles final : public FileSystem {
public:
    explicit NoCopyFiles(FileSystem& real)
        : real_(real) { }
    bool folderExists(const std::string& path) override { return real_.folderExists(path); }
    Status createFolder(const std::string& path) override { return real_.createFolder(path); }
    bool fileExists(const std::string& path) override { return real_.fileExists(path); }
    Status copyFile(const std::string&, const std::string&) override { return Status::success(); }
    Status deleteFiles(const std::string& wildcard) override { return real_.deleteFiles(wildcard); }
    std::vector<FolderEntry> listFolder(const std::string& folder) override {
        return real_.listFolder(folder);
    }
    FolderLockResult lockFolder(const std::string& folder) override {
        return real_.lockFolder(folder);
    }

private:
    FileSystem& real_;
};

class NoProcesses final : public Processes {
public:
    bool shellExecuteEx(ShellExecuteInfo&) override { return false; }
    Status startDetached(const std::string&, int) override { return Status::failure("none"); }
    Status startOpener(const std::string&, const std::string&) override {
        return Status::failure("none");
    }
    Status shellOpen(WindowHandle, const std::string&, const std::string&, const std::string&,
        const std::string&, int) override {
        return Status::failure("none");
    }
    std::string programFolder() override { return {}; }
};

class NoZip final : public ZipComponentFactory {
public:
    std::unique_ptr<ZipComponent> create() override { return nullptr; }
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    QApplication app(argc, argv);
    char pattern[] = "/tmp/pxw-list-bench-XXXXXX";
    const fs::path root = ::mkdtemp(pattern);
    fs::create_directories(root / "dosdevices");
    fs::create_directories(root / "drive_c" / "photos" / "trip");
    fs::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    for (int i = 0; i < count; ++i) {
        // Two folders, and names that differ in case only, as cameras and phones leave them.
        const fs::path folder = root / "drive_c" / "photos" / (i % 2 ? "trip" : "");
        std::ofstream(
            folder / ("IMG_" + std::to_string(i % (count / 2 + 1)) + (i % 3 ? ".jpg" : ".JPG")))
            .put('x');
    }

    DriveMap drives(root);
    PosixFileSystem realFiles(drives);
    NoCopyFiles files(realFiles);
    pxw::view::QtToolkit toolkit(drives);
    pxw::view::QtFileDialogService dialogs(toolkit.windows(), drives);
    NoProcesses processes;
    NoZip zip;
    Services services { toolkit, dialogs, files, processes, zip };
    pxw::ui::frmBackupFiles form;
    pxw::inputs::InputCommands inputs(form, services);
    pxw::view::MainWindow& window = toolkit.createMainWindow(form);
    window.show();
    QApplication::processEvents();
    auto* list = qobject_cast<QListWidget*>(window.view().widgetOf("FileList"));

    Clock::time_point start = Clock::now();
    form.FileList.drop({ "C:\\photos" });
    QApplication::processEvents();
    const double dropped = secondsSince(start);
    const int listed = list ? list->count() : -1;

    fs::create_directories(root / "drive_c" / "work");
    start = Clock::now();
    const pxw::job::StagingResult staged
        = pxw::job::stageEntries(form.FileList.entries(), "C:\\work", files);
    const double staging = secondsSince(start);

    std::printf(
        "drop of a folder of %d images: %d listed in %.3f s (limit 1 s)\n", count, listed, dropped);
    std::printf("staging of %zu listed images, copying left out: %.3f s (limit 1 s)\n",
        staged.stagedNames.size(), staging);
    fs::remove_all(root);
    return listed == count && dropped < 1.0 && staging < 1.0 ? 0 : 1;
}
