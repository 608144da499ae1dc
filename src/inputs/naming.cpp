#include "naming.h"

namespace pxw::inputs {

std::string namingTemplate(const ui::frmBackupFiles& form) {
    const std::string& base = form.namegen.text();
    if (form.Check1.value() == 1)
        return "[counter2;0].jpg";
    if (form.Check2.value() == 1)
        return base + "[counter2;1].jpg";
    if (form.Check3.value() == 1)
        return base + "[counter1;0].jpg";
    if (form.Check4.value() == 1)
        return base + "[counter1;1].jpg";
    return base + "[counter2;0].jpg";
}

void applyNamingTemplate(ui::frmBackupFiles& form) {
    form.namef.setText(namingTemplate(form));
}

} // namespace pxw::inputs
