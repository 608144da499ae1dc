#pragma once

#include "platform/windows_path.h"
#include "ui/form.h"

#include <QFont>
#include <QString>
#include <QWidget>
#include <map>
#include <string>

namespace pxw::view {

/// The host face and size for a font the window names: Arial is drawn with Liberation Sans,
/// Palatino Linotype with P052.
QFont hostFont(const ui::Font& font);

/// A caption as a label shows it: an `&` marks an access key and is not drawn; `&&` is one `&`.
QString withoutAccessKeyMarks(const std::string& caption);

/// The client area of a window of the model: one widget per control at its place (twips / 15),
/// each mirroring its control on every change and handing the user's input to it. The widgets
/// hold nothing the model lacks. The form must outlive the view.
class FormView : public QWidget {
public:
    /// `drives` turns the host paths of files dropped onto a list box into Windows-style paths.
    FormView(const ui::Form& form, const platform::DriveMap& drives, QWidget* parent = nullptr);
    ~FormView() override;

    const ui::Form& form() const { return form_; }
    /// The widget of the named control, or nullptr.
    QWidget* widgetOf(const std::string& controlName) const;
    QWidget* widgetOf(const ui::Control& control) const;
    /// Gives the keyboard focus to the first control of the tab chain.
    void focusFirstControl();

private:
    QWidget* ensureWidget(ui::Control& control);
    QWidget* createWidget(ui::Control& control, QWidget* parent);

    const ui::Form& form_;
    platform::DriveMap drives_;
    std::map<const ui::Control*, QWidget*> widgets_;
};

} // namespace pxw::view
