#pragma once

#include <optional>
#include <string>

namespace pxw::ui {
class Form;
} // namespace pxw::ui

namespace pxw::platform {

/// Names a window of the program towards the platform (owner of a message box, dialog or shell
/// call, or a window to show). The window model's forms are the windows; below the model a handle
/// is only passed on and compared, so the declaration of the form is all this level knows of it.
using WindowHandle = const ui::Form*;

enum class MessageIcon { None, Exclamation, Information };

/// A window's place on the screen, in pixels, frame included.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

/// The window toolkit, as far as commands need it.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    /// A modal message box with one OK button; returns when the user has closed it.
    virtual void messageBox(const std::string& prompt, MessageIcon icon, const std::string& title)
        = 0;

    /// The same, with `details` (a longer list the prompt only begins) behind a button that
    /// shows them.
    virtual void detailedMessageBox(const std::string& prompt, MessageIcon icon,
        const std::string& title, const std::string& details)
        = 0;

    /// A modal question with the buttons `accept` and Cancel (the default); true when the user
    /// chose `accept`.
    virtual bool confirm(
        const std::string& prompt, const std::string& title, const std::string& accept)
        = 0;

    /// Where `window` lies on the screen; nothing when it is not shown.
    virtual std::optional<ScreenRect> screenRectOf(WindowHandle window) = 0;

    /// Shows over the main window that a job is running (a busy cursor) or has ended. The
    /// window still takes input meanwhile.
    virtual void setBusy(bool busy) = 0;

    /// Lets the window process its pending events. When `wakeFd` is not -1 and no event is
    /// pending, it may block until a window event arrives or `wakeFd` becomes readable, so a
    /// caller polling a child process costs no busy core.
    virtual void processPendingEvents(int wakeFd) = 0;

    /// Shows `window` modally over `owner`; returns when it has been closed.
    virtual void showModal(WindowHandle window, WindowHandle owner) = 0;

    /// A short warning sound, for refused input.
    virtual void beep() = 0;

    /// Ends the whole program at once: no further reaction runs, nothing is asked or saved.
    virtual void endProgram() = 0;
};

} // namespace pxw::platform
