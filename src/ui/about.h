#pragma once

#include "controls.h"
#include "form.h"

namespace pxw::ui {

/// The About window: product name, version, a notice of the maker and the web-address link.
class About : public Form {
public:
    About();

    Label Label1;
    Label Label3;
    Label Label2;
    Label Label4;
};

} // namespace pxw::ui
