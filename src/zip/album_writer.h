#pragma once

#include "platform/status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pxw::zip {

using platform::Status;

/// One file to put into an album, under `name`.
struct AlbumFile {
    std::string name;
    std::filesystem::path source;
};

/// What an album is made of.
struct AlbumRecipe {
    /// The (Linux) album program whose bytes open the album; empty for an album that opens
    /// on Windows alone.
    std::filesystem::path program;
    /// The icon the album carries; none gives an album with an empty icon.
    std::optional<std::filesystem::path> icon;
    std::vector<AlbumFile> files;
    /// The Windows album program: with it, the album opens on Windows, and on Linux too when
    /// there is a Linux one (albumfile/album_program.h).
    std::optional<std::filesystem::path> windowsProgram = std::nullopt;
};

/// Adds the regular files directly in `folder` (no subfolders, no links) to `files`, in name
/// order; a file of a name already there replaces it.
Status collectFolderFiles(const std::filesystem::path& folder, std::vector<AlbumFile>& files);

/// Writes the album at `destination`. The album is written under a temporary name in the same
/// folder and renamed into place, so a failed write leaves no new file and an earlier file at
/// `destination` as it was.
/// Files are stored as they are: images are compressed already.
Status writeAlbum(const AlbumRecipe& recipe, const std::filesystem::path& destination);

} // namespace pxw::zip
