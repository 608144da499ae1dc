#include "program.h"

namespace pxw::app {

Program::Program(platform::Services& services)
    : inputs_(form, services)
    , convert_(form, services)
    , album_(form, services)
    , help_(form, services) {
    form.Unload = [&toolkit = services.toolkit] { toolkit.endProgram(); };
}

} // namespace pxw::app
