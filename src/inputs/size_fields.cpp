#include "size_fields.h"

#include "platform/field_number.h"

namespace pxw::inputs {

void checkField(ui::TextBox& field, const FieldRule& rule, platform::Toolkit& toolkit) {
    std::optional<int> number = platform::readFieldNumber(field.text());
    if (!number)
        return;
    if (*number > rule.upperBound || *number <= 0) {
        toolkit.messageBox(rule.warning, platform::MessageIcon::Information, "Warning");
        field.setText(rule.defaultText);
    }
}

} // namespace pxw::inputs
