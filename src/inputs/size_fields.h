#pragma once

#include "platform/toolkit.h"
#include "ui/frm_backup_files.h"

namespace pxw::inputs {

/// One checked field: its upper bound, warning and default text.
struct FieldRule {
    int upperBound;
    const char* warning;
    const char* defaultText;
};

inline constexpr FieldRule WidthRule { 5000, "Accept integer(1-5000) only  ", "300" };
inline constexpr FieldRule HeightRule { 5000, "Accept integer(1-5000) only  ", "400" };
inline constexpr FieldRule QualityRule { 99, "Accept integer(1-99) only  ", "90" };

/// The check that runs on every change of a size or quality field: a number (read by
/// platform::readFieldNumber, as the image tool reads it) out of range gets the field's
/// warning, then its default text.
void checkField(ui::TextBox& field, const FieldRule& rule, platform::Toolkit& toolkit);

} // namespace pxw::inputs
