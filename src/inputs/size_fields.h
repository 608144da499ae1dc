#pragma once

#include "platform/toolkit.h"
#include "ui/frm_backup_files.h"

#include <optional>
#include <string>
#include <string_view>

namespace pxw::inputs {

/// Reads a text as a signed 16-bit whole number: optional blanks, an optional sign, digits and
/// an optional decimal fraction, rounded half to even. Nothing for anything else, an empty text
/// included, or a number outside -32768..32767.
std::optional<int> readInteger16(std::string_view text);

/// One checked field: its upper bound, warning and default text.
struct FieldRule {
    int upperBound;
    const char* warning;
    const char* defaultText;
};

inline constexpr FieldRule WidthRule { 5000, "Accept integer(1-5000) only  ", "300" };
inline constexpr FieldRule HeightRule { 5000, "Accept integer(1-5000) only  ", "400" };
inline constexpr FieldRule QualityRule { 99, "Accept integer(1-99) only  ", "90" };

/// The check that runs on every change of a size or quality field: a number out of range gets
/// the field's warning, then its default text.
void checkField(ui::TextBox& field, const FieldRule& rule, platform::Toolkit& toolkit);

} // namespace pxw::inputs
