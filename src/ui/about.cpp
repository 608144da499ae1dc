#include "about.h"

#include "frm_backup_files.h"

namespace pxw::ui {

About::About()
    : Form("About", "About Pixelwain", 4680, 3090, Font { "Arial", 14.25 })
    , Label1("Label1", { 480, 480, 3735, 735 }, 0)
    , Label3("Label3", { 480, 1320, 2175, 375 }, 1)
    , Label2("Label2", { 480, 1640, 2175, 375 }, 2)
    , Label4("Label4", { 480, 2080, 3375, 375 }, 3) {
    add(Label1).withCaption("Pixelwain ").withFont({ "Palatino Linotype", 21.75, true, true });
    add(Label3).withCaption("Version : 1.2").withFont({ "Palatino Linotype", 12, true });
    add(Label2).withCaption("By the Pixelwain team").withFont({ "Palatino Linotype", 9.75, true });
    add(Label4)
        .withCaption(MakerWebAddress)
        .withForeColor(LinkBlue)
        .withFont({ "Palatino Linotype", 14.25 });
}

} // namespace pxw::ui
