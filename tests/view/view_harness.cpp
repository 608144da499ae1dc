#include "view_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace pxw::viewtest {

TempDrives::TempDrives() {
    fs::create_directories(folder_.path() / "dosdevices");
    fs::create_directories(driveC());
    fs::create_directory_symlink("../drive_c", folder_.path() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", folder_.path() / "dosdevices" / "z:");
    drives_ = std::make_unique<platform::DriveMap>(folder_.path());
}

fs::path TempDrives::makeFile(const std::string& relativePath) const {
    fs::path file = driveC() / relativePath;
    fs::create_directories(file.parent_path());
    std::ofstream(file).put('x');
    return file;
}

bool RecordingProcesses::shellExecuteEx(platform::ShellExecuteInfo& info) {
    info.error = "not in this test";
    return false;
}

platform::Status RecordingProcesses::startDetached(const std::string&, int) {
    return platform::Status::failure("not in this test");
}

platform::Status RecordingProcesses::startOpener(const std::string&, const std::string&) {
    return platform::Status::failure("not in this test");
}

platform::Status RecordingProcesses::shellOpen(platform::WindowHandle owner,
    const std::string& verb, const std::string& target, const std::string&, const std::string&,
    int) {
    shellOpens.push_back({ owner, verb, target });
    return platform::Status::success();
}

ViewHarness::ViewHarness()
    : toolkit(temp.drives())
    , dialogs(toolkit.windows(), temp.drives())
    , services { toolkit, dialogs, files, processes, zip }
    , inputs(form, services)
    , help(form, services) {
    form.Unload = [this] { ++unloads; };
    window = &toolkit.createMainWindow(form);
}

ViewHarness::~ViewHarness() = default;

void answerNextMessageBox(ShownMessage& shown) {
    QTimer::singleShot(0, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible())
                continue;
            shown = { true, box->icon(), box->windowTitle(), box->text(),
                static_cast<int>(box->buttons().size()), box->parentWidget() };
            box->button(QMessageBox::Ok)->click();
        }
    });
}

QString qtPath(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

} // namespace pxw::viewtest

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
