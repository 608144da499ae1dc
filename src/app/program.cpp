#include "program.h"

namespace pxw::app {

Program::Program(platform::Services& services)
    : inputs_(form, services)
    , convert_(form, services)
    , album_(form, services)
    , help_(form, services) {
    form.Unload = [&toolkit = services.toolkit] { toolkit.endProgram(); };
    form.Convert.Click = [this] { convert_.Convert_Click(); };
    form.open.Click = [this] { convert_.open_Click(); };
    form.Command2.Click = [this] { convert_.Command2_Click(); };
    form.Createalbum.Click = [this] { album_.Createalbum_Click(); };
    form.Iconsel.Click = [this] { album_.Iconsel_Click(); };
    form.iconlistRem.Click = [this] { album_.iconlistRem_Click(); };
    form.cmdSystem.Click = [this] { album_.cmdSystem_Click(); };
}

} // namespace pxw::app
