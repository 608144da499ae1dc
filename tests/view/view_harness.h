#pragma once

#include "inputs/input_commands.h"
#include "platform/posix/posix_file_system.h"
#include "platform/services.h"
#include "platform/windows_path.h"
#include "temp_folder.h"
#include "ui/frm_backup_files.h"
#include "ui/help_commands.h"
#include "view/qt_file_dialog.h"
#include "view/qt_toolkit.h"

#include <QMessageBox>
#include <QString>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace pxw::viewtest {

using pxw::testing::TempFolder;

/// A drive table in a temporary prefix: C: is <prefix>/drive_c, Z: is the host's root.
class TempDrives {
public:
    TempDrives();
    const platform::DriveMap& drives() const { return *drives_; }
    std::filesystem::path driveC() const { return folder_.path() / "drive_c"; }
    /// Makes an empty file (and its folders) under drive C:, returns its host path.
    std::filesystem::path makeFile(const std::string& relativePath) const;

private:
    TempFolder folder_;
    std::unique_ptr<platform::DriveMap> drives_;
};

/// The shell calls of the help commands, recorded; the other process calls fail.
class RecordingProcesses : public platform::Processes {
public:
    struct ShellOpen {
        platform::WindowHandle owner;
        std::string verb;
        std::string target;
    };
    std::vector<ShellOpen> shellOpens;

    bool shellExecuteEx(platform::ShellExecuteInfo& info) override;
    platform::Status startDetached(const std::string& commandLine, int show) override;
    platform::Status startOpener(const std::string& program, const std::string& argument) override;
    platform::Status shellOpen(platform::WindowHandle owner, const std::string& verb,
        const std::string& target, const std::string& parameters, const std::string& directory,
        int show) override;
    std::string programFolder() override { return "C:\\Program Files\\Pixelwain"; }
};

class NoZip : public platform::ZipComponentFactory {
public:
    std::unique_ptr<platform::ZipComponent> create() override { return nullptr; }
};

/// The main window model with the job-input and help commands, shown through the real Qt view,
/// toolkit and file dialogs. Unload counts instead of ending the program.
struct ViewHarness {
    ViewHarness();
    ~ViewHarness();

    /// The widget of a control of the main window.
    template <typename Widget> Widget* widget(const std::string& name) const {
        return qobject_cast<Widget*>(window->view().widgetOf(name));
    }

    TempDrives temp;
    view::QtToolkit toolkit;
    view::QtFileDialogService dialogs;
    platform::PosixFileSystem files { temp.drives() };
    RecordingProcesses processes;
    NoZip zip;
    platform::Services services;
    ui::frmBackupFiles form;
    inputs::InputCommands inputs;
    ui::HelpCommands help;
    int unloads = 0;
    view::MainWindow* window = nullptr;
};

/// What a message box showed.
struct ShownMessage {
    bool seen = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    int buttons = 0;
    QWidget* parent = nullptr;
};

/// Reads the message box that the next modal loop shows, and presses its OK button.
void answerNextMessageBox(ShownMessage& shown);

/// Host path text as Qt takes it.
QString qtPath(const std::filesystem::path& path);

} // namespace pxw::viewtest

// Readable failure messages for Qt's strings.
void PrintTo(const QString& text, std::ostream* out);
