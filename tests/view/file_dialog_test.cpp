#include "inputs/folder_picker.h"
#include "inputs/image_list.h"
#include "view/qt_file_dialog.h"
#include "view_harness.h"

#include <QDir>
#include <QFileDialog>
#include <filesystem>
#include <gtest/gtest.h>

using namespace pxw;
using platform::DialogResult;
using platform::FileDialog;
using view::answerOf;
using view::nameFilterIndex;
using view::nameFiltersOf;
using viewtest::qtPath;
using viewtest::ViewHarness;
namespace flags = platform::dialog_flags;
namespace fs = std::filesystem;

namespace {

std::string nul(std::initializer_list<std::string> parts) {
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty())
            joined += '\0';
        joined += part;
    }
    return joined;
}

// Presses Open (or Save) as the user would: the dialog's own checks run.
void pressAccept(QFileDialog& dialog) {
    static_cast<QDialog&>(dialog).accept();
}

} // namespace

TEST(NameFilters, TurnDescriptionPatternPairsIntoQtFilters) {
    struct Row {
        const char* filter = nullptr;
        QStringList expected;
    };
    const Row rows[] = {
        { "", {} },
        { "folder", { "folder (*)" } },
        { "*.exe", { "*.exe (*)" } },
        { ".exe only (*.exe)|*.exe", { ".exe only (*.exe) (*.exe)" } },
        { "Icon Files (*.ico)|*.ico", { "Icon Files (*.ico) (*.ico)" } },
        { "Pictures|*.jpg; *.png|All|*.*|", { "Pictures (*.jpg *.png)", "All (*.*)" } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.filter);
        EXPECT_EQ(nameFiltersOf(row.filter), row.expected);
    }
    const QStringList two { "Pictures (*.jpg *.png)", "(*.gif) (*.gif)" };
    EXPECT_EQ(nameFilterIndex(two, "Pictures (*.jpg *.png)"), 0);
    EXPECT_EQ(nameFilterIndex(two, "Pictures"), 0);
    EXPECT_EQ(nameFilterIndex(two, "(*.gif)"), 1);
    EXPECT_EQ(nameFilterIndex(two, "Other"), -1);

    const QStringList images = nameFiltersOf(inputs::ImageFilter);
    ASSERT_EQ(images.size(), 10);
    EXPECT_EQ(images.front(), "Image Files (*.jpg) (*.jpg)");
    EXPECT_EQ(images.back(), "(*.mac) (*.mac)");
}

TEST(DialogAnswer, IsOnePathOrTheFolderAndNamesBetweenNuls) {
    viewtest::TempDrives temp;
    const fs::path pics = temp.driveC() / "pics";
    EXPECT_EQ(answerOf({ qtPath(pics / "a.jpg") }, temp.drives()), "C:\\pics\\a.jpg");
    EXPECT_EQ(answerOf({ qtPath(pics / "b.jpg"), qtPath(pics / "a.jpg") }, temp.drives()),
        nul({ "C:\\pics", "b.jpg", "a.jpg" }));
    EXPECT_EQ(answerOf({ qtPath(temp.driveC() / "x.png"), qtPath(temp.driveC() / "y.png") },
                  temp.drives()),
        nul({ "C:\\", "x.png", "y.png" }));
    EXPECT_EQ(answerOf({}, temp.drives()), "");
}

TEST(QtFileDialogService, FolderPickerTakesTheFolderMovedIntoWithThePlaceholder) {
    ViewHarness h;
    const fs::path pictures = h.temp.driveC() / "My Pictures";
    fs::create_directories(pictures);
    int shown = 0;
    h.dialogs.setRunner([&](QFileDialog& dialog) -> std::optional<QStringList> {
        ++shown;
        EXPECT_EQ(dialog.windowTitle(), "Select the required folder");
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog.nameFilters(), QStringList { "folder (*)" });
        EXPECT_EQ(dialog.parentWidget(), h.window);
        if (shown == 1)
            EXPECT_NE(dialog.directory().absolutePath(), qtPath(pictures));
        else
            EXPECT_EQ(dialog.directory().absolutePath(), qtPath(pictures));

        dialog.setDirectory(qtPath(pictures)); // the user moves into the folder
        EXPECT_EQ(
            dialog.selectedFiles(), QStringList { qtPath(pictures / inputs::FolderPlaceholder) });
        pressAccept(dialog); // and presses Open, the placeholder still in the name field
        if (dialog.result() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFiles();
    });

    ASSERT_TRUE(inputs::PickOutputFolder(h.form, h.dialogs, h.toolkit));
    EXPECT_EQ(h.form.gFolderPath, "C:\\My Pictures\\");
    EXPECT_EQ(h.form.unziptofolder.FileName, "C:\\My Pictures\\Select Folder and click Open");
    ASSERT_TRUE(inputs::PickOutputFolder(h.form, h.dialogs, h.toolkit));
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(h.form.gFolderPath, "C:\\My Pictures\\");
}

TEST(QtFileDialogService, ImageDialogChoosesSeveralExistingFiles) {
    ViewHarness h;
    const fs::path b = h.temp.makeFile("pics/b.jpg");
    const fs::path a = h.temp.makeFile("pics/a.jpg");
    h.dialogs.setRunner([&](QFileDialog& dialog) -> std::optional<QStringList> {
        EXPECT_EQ(dialog.windowTitle(), "Select image Files for Pixelwain");
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(dialog.nameFilters(), nameFiltersOf(inputs::ImageFilter));
        EXPECT_EQ(nameFilterIndex(dialog.nameFilters(), dialog.selectedNameFilter()), 0);
        dialog.setDirectory(qtPath(b.parent_path()));
        dialog.selectFile("\"b.jpg\" \"a.jpg\"");
        pressAccept(dialog);
        if (dialog.result() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFiles();
    });
    h.form.FBrowse.click();
    EXPECT_EQ(h.form.rDialog.FileName, nul({ "C:\\pics", "b.jpg", "a.jpg" }));
    EXPECT_EQ(h.form.FileList.entries(),
        (std::vector<std::string> { "C:\\pics\\a.jpg", "C:\\pics\\b.jpg" }));
    EXPECT_EQ(h.form.Text3.text(), "2");
}

TEST(QtFileDialogService, AnAnswerLongerThanMaxFileSizeFails) {
    // The limit counts UTF-16 code units, as QString does, not UTF-8 bytes.
    for (const std::string folderName : { "pics", "фотографии", "旅行 😀" }) {
        SCOPED_TRACE(folderName);
        ViewHarness h;
        const fs::path folder = h.temp.driveC() / folderName;
        const QStringList chosen { qtPath(folder / "b.jpg"), qtPath(folder / "ä.jpg") };
        h.dialogs.setRunner([&](QFileDialog&) -> std::optional<QStringList> { return chosen; });
        const std::string answer = nul({ "C:\\" + folderName, "b.jpg", "ä.jpg" });
        const auto units = static_cast<int>(QString::fromStdString(answer).size());

        FileDialog dialog;
        dialog.Flags = flags::AllowMultiSelect | flags::FileMustExist;
        dialog.FileName = "kept";
        dialog.MaxFileSize = units + 1; // no room for both closing NULs
        EXPECT_EQ(h.dialogs.showOpen(dialog, ui::handleOf(h.form)), DialogResult::Failed);
        EXPECT_EQ(dialog.FileName, "kept");

        dialog.MaxFileSize = units + 2;
        EXPECT_EQ(h.dialogs.showOpen(dialog, ui::handleOf(h.form)), DialogResult::Confirmed);
        EXPECT_EQ(dialog.FileName, answer);
    }
}

TEST(QtFileDialogService, SaveAddsTheDefaultExtensionAndAsksBeforeOverwriting) {
    ViewHarness h;
    const fs::path albums = h.temp.driveC() / "albums";
    fs::create_directories(albums);
    for (const bool prompt : { true, false }) {
        SCOPED_TRACE(prompt ? "with overwrite prompt" : "without");
        FileDialog dialog;
        dialog.DialogTitle = "Save images as a standalone Exe file...";
        dialog.DefaultExt = "exe";
        dialog.Filter = ".exe only (*.exe)|*.exe";
        dialog.InitDir = "c:\\ALBUMS";
        dialog.Flags = prompt ? flags::OverwritePrompt : 0;
        h.dialogs.setRunner([&](QFileDialog& shown) -> std::optional<QStringList> {
            EXPECT_EQ(shown.windowTitle(), "Save images as a standalone Exe file...");
            EXPECT_EQ(shown.acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(shown.fileMode(), QFileDialog::AnyFile);
            EXPECT_EQ(shown.defaultSuffix(), "exe");
            EXPECT_EQ(shown.testOption(QFileDialog::DontConfirmOverwrite), !prompt);
            EXPECT_EQ(shown.directory().absolutePath(), qtPath(albums));
            shown.selectFile("holiday"); // typed without extension
            return shown.selectedFiles();
        });
        EXPECT_EQ(h.dialogs.showSave(dialog, ui::handleOf(h.form)), DialogResult::Confirmed);
        EXPECT_EQ(dialog.FileName, "C:\\albums\\holiday.exe");
    }
}

TEST(QtFileDialogService, ANameWithAFolderOpensInThatFolder) {
    ViewHarness h;
    const fs::path albums = h.temp.driveC() / "albums";
    fs::create_directories(albums);
    fs::create_directories(h.temp.driveC() / "other");
    FileDialog dialog;
    dialog.FileName = "C:\\albums\\holiday.exe";
    dialog.InitDir = "C:\\other";
    h.dialogs.setRunner([&](QFileDialog& shown) -> std::optional<QStringList> {
        EXPECT_EQ(shown.directory().absolutePath(), qtPath(albums));
        EXPECT_EQ(shown.selectedFiles(), QStringList { qtPath(albums / "holiday.exe") });
        return std::nullopt;
    });
    EXPECT_EQ(h.dialogs.showSave(dialog, ui::handleOf(h.form)), DialogResult::Cancelled);
}

TEST(QtFileDialogService, CancelLeavesTheFileNameAsItWas) {
    ViewHarness h;
    FileDialog dialog;
    dialog.FileName = "C:\\pics\\a.jpg";
    dialog.Flags = flags::FileMustExist;
    h.dialogs.setRunner([&](QFileDialog& shown) -> std::optional<QStringList> {
        EXPECT_EQ(shown.fileMode(), QFileDialog::ExistingFile);
        shown.reject();
        if (shown.result() != QDialog::Accepted)
            return std::nullopt;
        return shown.selectedFiles();
    });
    EXPECT_EQ(h.dialogs.showOpen(dialog, ui::handleOf(h.form)), DialogResult::Cancelled);
    EXPECT_EQ(dialog.FileName, "C:\\pics\\a.jpg");

    h.dialogs.setRunner([](QFileDialog&) -> std::optional<QStringList> { return std::nullopt; });
    h.form.FBrowse.click(); // the image list stays as it was, without a message
    EXPECT_EQ(h.form.FileList.ListCount(), 0);
    EXPECT_EQ(h.form.Text3.text(), "");
}

TEST(QtFileDialogService, FilterIndexSelectsTheFilterAndReportsTheOneChosen) {
    ViewHarness h;
    const fs::path picture = h.temp.makeFile("pics/a.png");
    FileDialog dialog;
    dialog.Filter = inputs::ImageFilter;
    dialog.FilterIndex = 5;
    const QStringList filters = nameFiltersOf(inputs::ImageFilter);
    h.dialogs.setRunner([&](QFileDialog& shown) -> std::optional<QStringList> {
        EXPECT_EQ(nameFilterIndex(filters, shown.selectedNameFilter()), 4);
        shown.selectNameFilter(filters.at(2));
        return QStringList { qtPath(picture) };
    });
    EXPECT_EQ(h.dialogs.showOpen(dialog, ui::handleOf(h.form)), DialogResult::Confirmed);
    EXPECT_EQ(dialog.FileName, "C:\\pics\\a.png");
    EXPECT_EQ(dialog.FilterIndex, 3);
}
