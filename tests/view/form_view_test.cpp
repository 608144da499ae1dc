#include "view/form_view.h"
#include "view/form_windows.h"
#include "view_harness.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace pxw;
using view::FormDialog;
using view::FormView;
using viewtest::qtPath;
using viewtest::ViewHarness;

namespace {

std::vector<std::string> names(const QStringList& list) {
    std::vector<std::string> result;
    for (const QString& text : list)
        result.push_back(text.toStdString());
    return result;
}

QStringList rowsOf(const QListWidget& list) {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i)
        rows << list.item(i)->text();
    return rows;
}

void showActive(view::MainWindow& window) {
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// A window with one limited text box and no reaction, to see the view on its own.
class LimitedForm : public ui::Form {
public:
    LimitedForm()
        : Form("LimitedForm", "Limited", 3000, 1200, ui::Font {})
        , Field("Field", { 150, 150, 2400, 330 }, 0) {
        add(Field).withMaxLength(4);
    }
    ui::TextBox Field;
};

} // namespace

TEST(FormView, PlacesEachControlAtItsTwipsOverFifteen) {
    ViewHarness h;
    FormView& view = h.window->view();
    struct Place {
        const char* name = nullptr;
        const char* frame = nullptr; // nullptr: directly in the client area
        QRect pixels;
    };
    const Place places[] = {
        { "FBrowse", nullptr, { 8, 16, 121, 24 } },
        { "Text3", nullptr, { 152, 16, 25, 24 } },
        { "FileList", nullptr, { 8, 48, 543, 156 } },
        { "FileRemove", nullptr, { 560, 72, 66, 30 } },
        { "Label2", nullptr, { 400, 8, 177, 33 } },
        { "Frame1", nullptr, { 8, 216, 545, 121 } },
        { "compressQ", "Frame1", { 216, 22, 25, 22 } },
        { "txtWidth", "Frame1", { 153, 51, 41, 22 } },
        { "Check3", "Frame1", { 373, 88, 81, 17 } },
        { "Frame2", nullptr, { 8, 384, 601, 89 } },
        { "Iconsel", "Frame2", { 16, 24, 81, 25 } },
        { "Createalbum", nullptr, { 24, 440, 81, 25 } },
        { "Command4", nullptr, { 536, 440, 65, 25 } },
        { "Command2", nullptr, { 328, 520, 121, 25 } },
        { "namef", nullptr, { 472, 520, 145, 25 } },
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        QWidget* widget = view.widgetOf(place.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), place.pixels);
        QWidget* parent = place.frame ? view.widgetOf(place.frame) : &view;
        EXPECT_EQ(widget->parentWidget(), parent);
    }
    EXPECT_NE(qobject_cast<QGroupBox*>(view.widgetOf("Frame1")), nullptr);
}

TEST(FormView, MainWindowHasAFixedClientAreaBelowItsMenuBar) {
    ViewHarness h;
    showActive(*h.window);
    FormView& view = h.window->view();
    EXPECT_EQ(view.size(), QSize(639, 481));
    EXPECT_EQ(view.geometry().top(), h.window->menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(h.window->height(), h.window->menuBar()->height() + 481);
    EXPECT_EQ(h.window->minimumSize(), h.window->maximumSize());
    EXPECT_EQ(h.window->windowTitle(), "Pixelwain V1.2");
    EXPECT_FALSE(h.window->windowIcon().isNull());

    const Qt::WindowFlags flags = h.window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    const QPoint screenCentre = h.window->screen()->availableGeometry().center();
    EXPECT_LE((h.window->geometry().center() - screenCentre).manhattanLength(), 2);
}

TEST(FormView, MenuBarHoldsTheHelpMenu) {
    ViewHarness h;
    const QList<QAction*> menus = h.window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus[0]->text(), "&Help");
    const QList<QAction*> items = menus[0]->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "&Help");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "&About Pixelwain");
    EXPECT_TRUE(items[2]->shortcut().isEmpty());
}

TEST(FormView, EveryToolTipIsTheModels) {
    ViewHarness h;
    for (const ui::Control* control : h.form.controls()) {
        SCOPED_TRACE(control->name());
        EXPECT_EQ(
            h.window->view().widgetOf(*control)->toolTip().toStdString(), control->toolTipText());
    }
}

TEST(FormView, ShowsCaptionsWithAccessKeys) {
    ViewHarness h;
    EXPECT_EQ(h.widget<QPushButton>("FBrowse")->text(), "&Select images...");
    EXPECT_EQ(h.widget<QPushButton>("cmdSystem")->text(), "Ru&n ");
    EXPECT_EQ(h.widget<QCheckBox>("Check3")->text(), "0,1,2,~");
    EXPECT_EQ(h.widget<QLabel>("Label4")->text(), "Image Selected");
    EXPECT_EQ(h.widget<QLabel>("Label8")->text(), "Name ");
    EXPECT_EQ(h.widget<QGroupBox>("Frame1")->title(), "   Image Setting     ");
    EXPECT_EQ(h.widget<QLineEdit>("iconlist")->text(), "c:\\windows\\forpxw\\pxwicon.ico");
    EXPECT_EQ(h.widget<QLineEdit>("txtWidth")->text(), "300");
    EXPECT_EQ(view::withoutAccessKeyMarks("Fish && &Chips"), "Fish & Chips");

    QAccessibleInterface* button
        = QAccessible::queryAccessibleInterface(h.widget<QPushButton>("FBrowse"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), "Select images...");
    EXPECT_EQ(button->text(QAccessible::Description), "Select images for batch processing.");
}

TEST(FormView, UsesTheHostFacesSizesAndColours) {
    ViewHarness h;
    const QFont browse = h.widget<QPushButton>("FBrowse")->font();
    EXPECT_EQ(QFontInfo(browse).family(), "Liberation Sans");
    EXPECT_DOUBLE_EQ(browse.pointSizeF(), 9.75);
    EXPECT_DOUBLE_EQ(h.widget<QPushButton>("FileRemove")->font().pointSizeF(), 9.0);

    QLabel* link = h.widget<QLabel>("Label2");
    EXPECT_TRUE(QFontInfo(link->font()).family().startsWith("P052"));
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 15.75);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(h.widget<QLabel>("Label4")->cursor().shape(), Qt::ArrowCursor);

    EXPECT_EQ(
        h.widget<QListWidget>("FileList")->palette().color(QPalette::Base), QColor(241, 245, 245));
}

TEST(FormView, HiddenControlsStayHiddenAndLabelsTakeNoFocus) {
    ViewHarness h;
    showActive(*h.window);
    EXPECT_FALSE(h.widget<QLineEdit>("Text4")->isVisible());
    EXPECT_FALSE(h.widget<QLineEdit>("Text5")->isVisible());
    EXPECT_EQ(h.widget<QLineEdit>("Text4")->text(), "c:\\windows\\pxwtemp01");
    // Placed below the client area: shown, but out of sight.
    EXPECT_TRUE(h.widget<QPushButton>("Command2")->isVisible());
    EXPECT_GT(h.widget<QPushButton>("Command2")->geometry().top(), h.window->view().height());
    EXPECT_EQ(h.widget<QLabel>("Label5")->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(h.widget<QGroupBox>("Frame2")->focusPolicy(), Qt::NoFocus);
}

TEST(FormView, FocusStartsOnExitAndTabFollowsTheTabColumn) {
    ViewHarness h;
    showActive(*h.window);
    const std::vector<std::string> expected { "Command4", "FileList", "FBrowse", "FileRemove",
        "allClear", "Text3", "Command2", "DestDir", "compressQ", "txtHeight", "txtWidth", "Convert",
        "namegen", "Check1", "Check2", "Check3", "Check4", "namef", "iconlist", "Iconsel",
        "iconlistRem", "open", "Createalbum", "cmdSystem", "Command4" };
    std::vector<std::string> reached;
    for (std::size_t step = 0; step < expected.size(); ++step) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        reached.push_back(focused->objectName().toStdString());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(reached, expected);
}

TEST(FormView, SpaceOrEnterOnTheFocusedExitButtonRunsUnload) {
    ViewHarness h;
    showActive(*h.window);
    QWidget* exit = h.window->view().widgetOf("Command4");
    ASSERT_EQ(QApplication::focusWidget(), exit);
    QTest::keyClick(exit, Qt::Key_Space);
    EXPECT_EQ(h.unloads, 1);
    QTest::keyClick(exit, Qt::Key_Return);
    EXPECT_EQ(h.unloads, 2);
    QTest::keyClick(exit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(h.unloads, 3);
}

TEST(FormView, EnterPressesNoButtonButTheFocusedOne) {
    ViewHarness h;
    showActive(*h.window);
    for (const char* name : { "txtWidth", "Check2", "FileList", "Text3" }) {
        SCOPED_TRACE(name);
        QWidget* widget = h.window->view().widgetOf(name);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
    }
    EXPECT_EQ(h.unloads, 0);
    EXPECT_EQ(h.form.Check2.value(), 0);
}

TEST(FormView, ReadOnlyFieldsShowTheirTextAndRefuseTyping) {
    ViewHarness h;
    h.form.DestDir.setText("C:\\pics\\out\\");
    QLineEdit* destDir = h.widget<QLineEdit>("DestDir");
    EXPECT_EQ(destDir->text(), "C:\\pics\\out\\");
    QTest::keyClicks(destDir, "abc");
    QTest::keyClick(destDir, Qt::Key_Backspace);
    EXPECT_EQ(destDir->text(), "C:\\pics\\out\\");
    EXPECT_EQ(h.form.DestDir.text(), "C:\\pics\\out\\");

    h.form.Text3.setText("7"); // the count refresh writes the entry count back at once
    QLineEdit* count = h.widget<QLineEdit>("Text3");
    EXPECT_EQ(count->text(), "0");
    QTest::keyClicks(count, "12");
    EXPECT_EQ(count->text(), "0");
    EXPECT_EQ(h.form.Text3.text(), "0");

    QLineEdit* icon = h.widget<QLineEdit>("iconlist");
    QTest::keyClicks(icon, "x");
    EXPECT_EQ(icon->text(), "c:\\windows\\forpxw\\pxwicon.ico");
    EXPECT_TRUE(icon->isReadOnly());
}

TEST(FormView, TypingStopsAtTheFieldsLimit) {
    ViewHarness h;
    struct Row {
        ui::TextBox& field;
        const char* typed;
        const char* kept;
    };
    const Row rows[] = {
        { h.form.txtWidth, "123456", "1234" },
        { h.form.txtHeight, "45678", "4567" },
        { h.form.compressQ, "123", "12" },
        { h.form.namegen, "holiday", "holiday" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field.name());
        row.field.setText("");
        auto* edit = h.widget<QLineEdit>(row.field.name());
        EXPECT_EQ(edit->text(), "");
        QTest::keyClicks(edit, row.typed);
        EXPECT_EQ(edit->text(), row.kept);
        EXPECT_EQ(row.field.text(), row.kept);
    }
}

TEST(FormView, AFieldTheModelResetsShowsTheModelsText) {
    ViewHarness h;
    QLineEdit* width = h.widget<QLineEdit>("txtWidth");
    QTest::keyClick(width, Qt::Key_End);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(width, Qt::Key_Backspace);
    EXPECT_EQ(h.form.txtWidth.text(), "");

    viewtest::ShownMessage shown;
    viewtest::answerNextMessageBox(shown);
    QTest::keyClicks(width, "0"); // out of range: a warning, then the default text
    EXPECT_TRUE(shown.seen);
    EXPECT_EQ(shown.text, "Accept integer(1-5000) only  ");
    EXPECT_EQ(h.form.txtWidth.text(), "300");
    EXPECT_EQ(width->text(), "300");
}

TEST(FormView, ALongerTextFromTheProgramIsShownWholeAndOnlyShortened) {
    LimitedForm form;
    viewtest::TempDrives temp;
    FormView view(form, temp.drives());
    auto* field = qobject_cast<QLineEdit*>(view.widgetOf("Field"));
    ASSERT_NE(field, nullptr);

    form.Field.setText("123456789");
    EXPECT_EQ(field->text(), "123456789");
    QTest::keyClicks(field, "0");
    EXPECT_EQ(form.Field.text(), "123456789");

    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(form.Field.text(), "12345678");
    QTest::keyClicks(field, "x");
    EXPECT_EQ(form.Field.text(), "12345678");

    for (int i = 0; i < 5; ++i)
        QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "abcdef");
    EXPECT_EQ(form.Field.text(), "123a");
    EXPECT_EQ(field->text(), "123a");
}

TEST(FormView, ChangesFromTheProgramReachTheWidgets) {
    ViewHarness h;
    h.form.txtHeight.setText("250");
    EXPECT_EQ(h.widget<QLineEdit>("txtHeight")->text(), "250");
    h.form.Form_Load();
    EXPECT_TRUE(h.widget<QCheckBox>("Check1")->isChecked());
    EXPECT_EQ(h.widget<QLineEdit>("namef")->text(), "[counter2;0].jpg");
    h.form.FileList.setToolTipText("C:\\a.jpg");
    EXPECT_EQ(h.widget<QListWidget>("FileList")->toolTip(), "C:\\a.jpg");
}

TEST(FormView, ClickingACheckBoxSetsTheModel) {
    ViewHarness h;
    h.form.namegen.setText("trip");
    QCheckBox* second = h.widget<QCheckBox>("Check2");
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(h.form.Check2.value(), 1);
    EXPECT_TRUE(second->isChecked());
    EXPECT_EQ(h.form.namef.text(), "trip[counter2;1].jpg");

    QTest::keyClick(second, Qt::Key_Space);
    EXPECT_EQ(h.form.Check2.value(), 0);
    EXPECT_FALSE(second->isChecked());
}

TEST(FormView, ListShowsTheModelsEntriesAndSelection) {
    ViewHarness h;
    QListWidget* list = h.widget<QListWidget>("FileList");
    h.form.FileList.AddItem("C:\\pics\\b.jpg");
    h.form.FileList.AddItem("C:\\Pics\\A.jpg");
    h.form.FileList.AddItem("C:\\pics\\c.jpg");
    EXPECT_EQ(names(rowsOf(*list)),
        (std::vector<std::string> { "C:\\Pics\\A.jpg", "C:\\pics\\b.jpg", "C:\\pics\\c.jpg" }));
    EXPECT_TRUE(list->selectedItems().isEmpty());

    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(h.form.FileList.ListIndex(), 1);
    EXPECT_EQ(list->toolTip(), "C:\\pics\\b.jpg"); // the list's click reaction

    h.form.FileList.RemoveItem(0);
    EXPECT_EQ(
        names(rowsOf(*list)), (std::vector<std::string> { "C:\\pics\\b.jpg", "C:\\pics\\c.jpg" }));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->item(0)->isSelected());

    h.form.FileList.RemoveItem(0);
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST(FormView, FocusingTheListSelectsNothing) {
    ViewHarness h;
    h.form.FileList.AddItem("C:\\pics\\a.jpg");
    h.form.FileList.AddItem("C:\\pics\\b.jpg");
    showActive(*h.window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), h.window->view().widgetOf("FileList"));
    EXPECT_EQ(h.form.FileList.ListIndex(), -1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(h.form.FileList.ListIndex(), 1);
    EXPECT_EQ(h.form.FileList.toolTipText(), "C:\\pics\\b.jpg");
}

TEST(FormView, DroppingFilesOnTheListAddsTheImages) {
    ViewHarness h;
    QListWidget* list = h.widget<QListWidget>("FileList");
    QMimeData dropped;
    dropped.setUrls({ QUrl::fromLocalFile(qtPath(h.temp.makeFile("pics/b.PNG"))),
        QUrl::fromLocalFile(qtPath(h.temp.makeFile("pics/notes.txt"))),
        QUrl::fromLocalFile(qtPath(h.temp.makeFile("pics/a.jpg"))) });
    viewtest::ShownMessage told;
    viewtest::answerNextMessageBox(told);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(QPoint(20, 20), offered, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);

    QDropEvent drop(QPointF(20, 20), offered, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(h.form.FileList.entries(),
        (std::vector<std::string> { "C:\\pics\\a.jpg", "C:\\pics\\b.PNG" }));
    EXPECT_EQ(names(rowsOf(*list)), h.form.FileList.entries());
    EXPECT_EQ(h.form.Text3.text(), "2");
    EXPECT_EQ(h.widget<QLineEdit>("Text3")->text(), "2");
    EXPECT_EQ(told.text, "1 file was not added because it is not an image: notes.txt.");
}

TEST(FormView, ADroppedFolderTreeAddsEveryImageInItOnce) {
    ViewHarness h;
    for (const char* file : { "pics/a.jpg", "pics/b.PNG", "pics/notes.txt", "pics/deep/c.jpeg",
             "pics/deep/deeper/d.WEBP", "pics/deep/deeper/e.Heic" })
        h.temp.makeFile(file);
    std::filesystem::create_directory_symlink("..", h.temp.driveC() / "pics" / "deep" / "loop");
    h.form.FileList.AddItem("C:\\pics\\a.jpg");
    QMimeData dropped;
    dropped.setUrls({ QUrl::fromLocalFile(qtPath(h.temp.driveC() / "pics")),
        QUrl::fromLocalFile(qtPath(h.temp.driveC() / "pics" / "b.PNG")) });
    viewtest::ShownMessage told;
    viewtest::answerNextMessageBox(told);
    QWidget* list = h.widget<QListWidget>("FileList")->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    EXPECT_EQ(h.form.FileList.entries(),
        (std::vector<std::string> { "C:\\pics\\a.jpg", "C:\\pics\\b.PNG", "C:\\pics\\deep\\c.jpeg",
            "C:\\pics\\deep\\deeper\\d.WEBP", "C:\\pics\\deep\\deeper\\e.Heic" }));
    EXPECT_EQ(names(rowsOf(*h.widget<QListWidget>("FileList"))), h.form.FileList.entries());
    EXPECT_EQ(told.text,
        "1 file was not added because it is not an image: notes.txt.\n"
        "2 files were not added because they are already in the list.");
}

TEST(FormView, TheListRefusesDropsWithoutFiles) {
    ViewHarness h;
    QListWidget* list = h.widget<QListWidget>("FileList");
    QMimeData dropped;
    dropped.setText("C:\\pics\\a.jpg");
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_EQ(h.form.FileList.ListCount(), 0);
}

TEST(FormView, ClickingTheLinkLabelOpensTheWebPageOverTheMainWindow) {
    ViewHarness h;
    QTest::mouseClick(h.widget<QLabel>("Label2"), Qt::LeftButton);
    ASSERT_EQ(h.processes.shellOpens.size(), 1u);
    EXPECT_EQ(h.processes.shellOpens[0].owner, ui::handleOf(h.form));
    EXPECT_EQ(h.processes.shellOpens[0].verb, "Open");
    EXPECT_EQ(h.processes.shellOpens[0].target, ui::MakerWebAddress);

    QTest::mouseClick(h.widget<QLabel>("Label4"), Qt::LeftButton);
    EXPECT_EQ(h.processes.shellOpens.size(), 1u);
}

TEST(FormView, ClosingTheMainWindowRunsUnloadAndIsNeverRefused) {
    ViewHarness h;
    showActive(*h.window);
    EXPECT_TRUE(h.window->close());
    EXPECT_EQ(h.unloads, 1);
    EXPECT_FALSE(h.window->isVisible());
}

TEST(FormView, AboutWindowIsModalOverTheMainWindow) {
    ViewHarness h;
    showActive(*h.window);
    auto* aboutItem = h.window->findChild<QAction*>("mnuHelp_About");
    ASSERT_NE(aboutItem, nullptr);
    const QPoint exitInWindow
        = h.window->view().widgetOf("Command4")->mapTo(h.window, QPoint(10, 10));

    bool inspected = false;
    QTimer::singleShot(0, [&] {
        FormDialog* dialog = h.toolkit.dialogOf(h.help.about());
        ASSERT_NE(dialog, nullptr);
        inspected = true;
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        EXPECT_NE(dialog->windowModality(), Qt::NonModal);
        EXPECT_EQ(dialog->parentWidget(), h.window);
        EXPECT_EQ(dialog->windowTitle(), "About Pixelwain");
        EXPECT_FALSE(dialog->windowIcon().isNull());
        EXPECT_EQ(dialog->view().size(), QSize(312, 206));
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);

        auto label = [&](const char* name) {
            return qobject_cast<QLabel*>(dialog->view().widgetOf(name));
        };
        EXPECT_EQ(label("Label1")->text(), "Pixelwain ");
        EXPECT_EQ(label("Label1")->geometry(), QRect(32, 32, 249, 49));
        EXPECT_TRUE(QFontInfo(label("Label1")->font()).family().startsWith("P052"));
        EXPECT_TRUE(label("Label1")->font().bold());
        EXPECT_TRUE(label("Label1")->font().italic());
        EXPECT_EQ(label("Label3")->text(), "Version : 1.2");
        EXPECT_EQ(label("Label4")->text(), ui::MakerWebAddress);
        EXPECT_EQ(label("Label4")->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        for (const char* name : { "Label1", "Label2", "Label3", "Label4" })
            EXPECT_FALSE(label(name)->autoFillBackground()) << name;

        // The main window takes no input meanwhile: a click on Exit goes nowhere.
        QTest::mouseClick(h.window->windowHandle(), Qt::LeftButton, {}, exitInWindow);
        EXPECT_EQ(h.unloads, 0);
        // Escape is no close command here.
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());

        QTest::mouseClick(label("Label4"), Qt::LeftButton);
        dialog->close();
    });
    aboutItem->trigger();
    EXPECT_TRUE(inspected);
    ASSERT_EQ(h.processes.shellOpens.size(), 1u);
    EXPECT_EQ(h.processes.shellOpens[0].owner, ui::handleOf(h.help.about()));
    EXPECT_EQ(h.unloads, 0);

    // Shown again, it is the same window; the main window takes clicks once it is closed.
    FormDialog* first = h.toolkit.dialogOf(h.help.about());
    QTimer::singleShot(0, [&] {
        if (FormDialog* dialog = h.toolkit.dialogOf(h.help.about()))
            dialog->close();
    });
    aboutItem->trigger();
    EXPECT_EQ(h.toolkit.dialogOf(h.help.about()), first);
    QTest::mouseClick(h.window->windowHandle(), Qt::LeftButton, {}, exitInWindow);
    EXPECT_EQ(h.unloads, 1);
}
