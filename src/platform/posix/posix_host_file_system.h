#pragma once

#include "platform/host_file_system.h"

namespace pxw::platform {

/// The host file system on Linux.
class PosixHostFileSystem final : public HostFileSystem {
public:
    Kind kindOf(const std::filesystem::path& path) override;
    std::filesystem::path linkTarget(const std::filesystem::path& link) override;
    Status makeFolders(const std::filesystem::path& folder) override;
    Status placeLink(const std::filesystem::path& target, const std::filesystem::path& at) override;
    std::vector<std::string> namesIn(const std::filesystem::path& folder) override;
    std::optional<std::string> readText(const std::filesystem::path& file) override;
    Status writeText(const std::filesystem::path& file, const std::string& text) override;
    Status removeFile(const std::filesystem::path& file) override;
};

} // namespace pxw::platform
