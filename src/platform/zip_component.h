#pragma once

#include "status.h"

#include <memory>
#include <string>

namespace pxw::platform {

/// The zip component that writes self-extracting album executables. The album build calls the
/// eight operations in their order on one instance.
class ZipComponent {
public:
    virtual ~ZipComponent() = default;
    virtual Status setOption(int value) = 0; // 1
    virtual Status setTextOption(const std::string& value) = 0; // 2
    virtual Status setOtherOption(int value) = 0; // 3
    /// The icon the written executable carries (Windows-style path of an existing file).
    virtual Status setIcon(const std::string& iconPath) = 0; // 4
    virtual Status setOtherTextOption(const std::string& value) = 0; // 5
    virtual Status newArchive(const std::string& name) = 0; // 6
    /// Adds the regular files directly in `folder` (Windows-style).
    virtual Status addFolder(const std::string& folder, int flags) = 0; // 7
    /// Writes the executable at `exePath` (Windows-style). A failed write leaves no new file
    /// there, and an earlier file of that name as it was: it is the user's.
    virtual Status writeSelfExtractor(const std::string& exePath) = 0; // 8
};

class ZipComponentFactory {
public:
    virtual ~ZipComponentFactory() = default;
    virtual std::unique_ptr<ZipComponent> create() = 0;
};

} // namespace pxw::platform
