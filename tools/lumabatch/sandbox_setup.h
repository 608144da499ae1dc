#pragma once

#include <filesystem>
#include <string_view>

namespace pxw::lumabatch {

// What the tool prepares for its readers' sandbox, which the readers enter themselves
// (lumabatch/inside/sandbox.h).

/// Whether a reader may see the files it needs through a user and mount namespace of its own,
/// as it does where the kernel has no Landlock.
bool canHideFiles();

/// Gives `folder`, made by the tool for a reader, to the reader's user, so that a reader that
/// no longer runs as root may write there.
void handToReaderUser(const std::filesystem::path& folder);

/// Whether a variable of the tool's environment is passed on to a reader: the locale, and the
/// image libraries' and the sanitizers' own settings. Everything else (the user's secrets
/// among it) stays with the tool.
bool passedToReaders(std::string_view entry);

} // namespace pxw::lumabatch
