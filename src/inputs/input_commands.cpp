#include "input_commands.h"

#include "naming.h"
#include "size_fields.h"

namespace pxw::inputs {

InputCommands::InputCommands(ui::frmBackupFiles& form, platform::Services& services)
    : imageList_(form, services) {
    form.FBrowse.Click = [this] { imageList_.FBrowse_Click(); };
    form.FileList.Click = [this] { imageList_.FileList_Click(); };
    form.FileList.DragDrop = [this](const auto& paths) { imageList_.FileList_DragDrop(paths); };
    form.FileRemove.Click = [this] { imageList_.FileRemove_Click(); };
    form.allClear.Click = [this] { imageList_.allClear_Click(); };
    form.Text3.Change = [this] { imageList_.Text3_Change(); };

    platform::Toolkit& toolkit = services.toolkit;
    form.txtWidth.Change = [&form, &toolkit] { checkField(form.txtWidth, WidthRule, toolkit); };
    form.txtHeight.Change = [&form, &toolkit] { checkField(form.txtHeight, HeightRule, toolkit); };
    form.compressQ.Change = [&form, &toolkit] { checkField(form.compressQ, QualityRule, toolkit); };

    for (ui::CheckBox* box : { &form.Check1, &form.Check2, &form.Check3, &form.Check4 })
        box->Click = [&form] { applyNamingTemplate(form); };
}

} // namespace pxw::inputs
