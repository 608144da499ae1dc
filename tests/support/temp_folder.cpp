#include "temp_folder.h"

#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::testing {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "pxw-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = fs::canonical(pattern);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Links are not followed: a test's drive Z: points at the host's root.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

} // namespace pxw::testing
