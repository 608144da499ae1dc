#pragma once

#include <string>

namespace pxw::platform {

/// Identifies a window of the program towards the platform (owner of a message box, dialog or
/// shell call). The model's window objects serve as their own handles.
using WindowHandle = const void*;

enum class MessageIcon { None, Exclamation, Information };

/// The window toolkit, as far as commands need it.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    /// A modal message box with one OK button; returns when the user has closed it.
    virtual void messageBox(const std::string& prompt, MessageIcon icon, const std::string& title)
        = 0;

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
