#include "temp_folder.h"

#include <random>
#include <stdexcept>
#include <system_error>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace pxw::testing {

TempFolder::TempFolder() {
#ifdef _WIN32
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate
            = fs::temp_directory_path() / ("pxw-test-" + std::to_string(random()));
        if (fs::create_directory(candidate))
            path_ = candidate;
    }
    if (path_.empty())
        throw std::runtime_error("cannot make a temporary folder");
#else
    std::string pattern = (fs::temp_directory_path() / "pxw-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = fs::canonical(pattern);
#endif
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
