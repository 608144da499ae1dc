#pragma once

// The program part of an album that opens on Windows and on Linux: one file that is at once
// the Windows album program and a shell script. It starts with the Windows program, whose
// "MZ" header is also the script's first line:
//
//   MZqFpD='                                        a shell variable whose text is the rest
//   <the rest of the DOS header>'                   of the DOS header, where Windows reads the
//   d=$(mktemp -d ...)                              pointer to the PE headers
//   tail -c +OFFSET "$0" | head -c LENGTH >"$d/pxwalbum" ... exec "$d/pxwalbum" --album-file "$0"
//   "$@" exit 1 <zeros up to the PE headers, moved down to make room for the script> <the PE
//   headers and the Windows program's sections, .rsrc last> <the Linux album program: LENGTH bytes
//   at OFFSET>
//
// The album's icon and archive follow, as after any album program (album_format.h). Windows
// runs the Windows program, which reads the album from its own file; `sh album.exe`, or
// `./album.exe` from a shell (which runs a file without an ELF header as a script), runs the
// script, which writes the Linux program into a private temporary folder and starts it with
// the album's path; the Linux program removes its copy once started.

#include <optional>
#include <string>
#include <string_view>

namespace pxw::zip {

/// The argument with which the script starts the Linux album program: the album's path follows.
inline constexpr std::string_view albumFileOption = "--album-file";
/// The start of the name of the folder the script makes for the Linux program.
inline constexpr std::string_view scriptFolderPrefix = "pxwalbum.";

/// `windowsProgram` (a 64-bit PE file as GNU ld writes it, without resources) with `icon` (the
/// bytes of an .ico file, or of a lone PNG image) as its icon resources, the group icon and
/// each image, in a last section of their own, so that an icon of any size fits. Nullopt with
/// *error set when either is not such a file.
std::optional<std::string> withIconResources(
    const std::string& windowsProgram, std::string_view icon, std::string* error);

/// `windowsProgram` (a 64-bit PE file as GNU ld writes it) with its headers moved to make room
/// for the script, followed by `linuxProgram`. Nullopt with *error set when `windowsProgram` is
/// not such a file.
std::optional<std::string> dualAlbumProgram(
    const std::string& windowsProgram, std::string_view linuxProgram, std::string* error);

} // namespace pxw::zip
