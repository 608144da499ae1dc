// Naming-template expansion from what a user can type: the base name of the window, turned into
// a template by the naming boxes, carried on the convert command line and read by the tool;
// and any template given to the tool by hand. The names never leave the destination folder.

#include "fuzz_check.h"
#include "inputs/naming.h"
#include "job/command_lines.h"
#include "name_checks.h"
#include "options.h"
#include "platform/windows_path.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

using namespace pxw;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string error;
    if (const auto names = lumabatch::NameTemplate::parse(text, &error))
        fuzz::checkOutputNames(*names);
    else
        PXW_FUZZ_CHECK(!error.empty());

    ui::frmBackupFiles form;
    ui::CheckBox* boxes[] = { &form.Check1, &form.Check2, &form.Check3, &form.Check4 };
    for (std::size_t i = 0; i < 4; ++i)
        boxes[i]->setValue((data[0] >> i) & 1);
    form.namegen.setText(std::string(text));
    form.DestDir.setText("D:\\out\\");
    inputs::applyNamingTemplate(form);
    std::ostringstream out, err;
    const lumabatch::ParseResult result = lumabatch::parseCommandLine(
        platform::splitCommandLine(job::convertParameters(form)), out, err);
    if (const auto* options = std::get_if<lumabatch::Options>(&result)) {
        PXW_FUZZ_CHECK(options->names.has_value());
        fuzz::checkOutputNames(*options->names);
    }
    return 0;
}
