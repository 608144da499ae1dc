#include "command_lines.h"

#include "platform/image_tool.h"

#include <algorithm>

namespace pxw::job {

std::string blanksToUnderscores(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

namespace {
// A field's number as one unquoted word: without blanks it reads as the same number.
std::string numberWord(std::string text) {
    std::erase_if(text, [](char c) { return c == ' ' || c == '\t'; });
    return text;
}
} // namespace

std::string convertParameters(const ui::frmBackupFiles& form) {
    const std::string& w = form.txtWidth.text();
    const std::string& h = form.txtHeight.text();
    return "s=\"" + form.Text4.text() + "\" d=\"" + form.DestDir.text() + "\" -w\"" + w + "\" -h\""
        + h + "\" -prop -sm1 -namegen=\"" + form.namef.text()
        + "\" -ov -dpiver72 -dpihor72 -sortlstAZ -sizeto(-1;-1;\"" + w + "\";\"" + h
        + "\") -exclude(db) -remsrc -nodlg -q\"" + form.compressQ.text();
}

std::string albumParameters(const ui::frmBackupFiles& form) {
    const std::string& work = form.Text4.text();
    const std::string& w = form.txtWidth.text();
    const std::string& h = form.txtHeight.text();
    return "s=\"" + work + "\" d=\"" + work + "\" -w\"" + w + "\" -h\"" + h
        + "\" -prop -sm1 -namegen=\"" + form.namef.text()
        + "\" -ov -dpiver72 -dpihor72 -remsrc -sortlstAZ -sizeto(-1;-1;\"" + w + "\";\"" + h
        + "\") -exclude(db) -nodlg -q\"" + form.compressQ.text();
}

std::string quickCommandLine(const ui::frmBackupFiles& form) {
    return std::string("\"") + platform::image_tool::QuickExecutable + "\" s=" + form.Text4.text()
        + " d=" + blanksToUnderscores(form.DestDir.text()) + " -w"
        + numberWord(form.txtWidth.text()) + " -h" + numberWord(form.txtHeight.text())
        + " -sm1 -namegen=\"" + QuickNamingTemplate
        + "\" -ov -remsrc -sortlstAZ -exclude(db) -nodlg -q" + numberWord(form.compressQ.text());
}

} // namespace pxw::job
