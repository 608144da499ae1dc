// Windows-path mapping over a scratch prefix, and the name rules beside it. The input is a path,
// then after a NUL a second name to compare with it.

#include "fuzz_check.h"
#include "platform/field_number.h"
#include "platform/names.h"
#include "platform/windows_path.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace pxw::platform;

namespace {

// Made once per run, left for the system's temporary-file clean-up.
struct Scratch {
    fs::path root;
    fs::path driveC, driveD;
    DriveMap drives { "/nonexistent" };

    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "pxw-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        driveC = root / "drive_c";
        driveD = root / "drive_d";
        fs::create_directories(root / "dosdevices");
        fs::create_directories(driveC / "windows" / "pxwtemp01");
        fs::create_directories(driveD / "Äpfel" / "Ёлка");
        fs::create_directories(driveD / "Straße");
        std::ofstream(driveD / "Äpfel" / "IMG_0001.JPG") << "x";
        fs::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
        fs::create_directory_symlink("../drive_d", root / "dosdevices" / "d:");
        driveC = fs::canonical(driveC);
        driveD = fs::canonical(driveD);
        drives = DriveMap(root);
    }
};

// The place a path names: "x/." and "x/" are "x".
fs::path place(const fs::path& path) {
    std::error_code ec;
    fs::path normal = fs::weakly_canonical(path, ec).lexically_normal();
    if (!normal.has_filename() && normal != normal.root_path())
        normal = normal.parent_path();
    return normal;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view path = input.substr(0, nul);
    const std::string_view other = nul == std::string_view::npos ? "" : input.substr(nul + 1);

    std::string error;
    const std::optional<fs::path> host = scratch.drives.toHost(path, &error);
    if (!host) {
        PXW_FUZZ_CHECK(!error.empty());
    } else if (path.size() >= 2 && path[1] == ':' && (path[0] | 0x20) >= 'c'
        && (path[0] | 0x20) <= 'd') {
        // Never above the drive's folder, whatever the ".." in it.
        const fs::path& drive = (path[0] | 0x20) == 'c' ? scratch.driveC : scratch.driveD;
        const fs::path relative = host->lexically_normal().lexically_relative(drive);
        PXW_FUZZ_CHECK(!relative.empty() && *relative.begin() != "..");
        // And back: the Windows path of the place maps to the same place.
        const std::optional<fs::path> again
            = scratch.drives.toHost(scratch.drives.toWindows(*host));
        PXW_FUZZ_CHECK(again);
        PXW_FUZZ_CHECK(place(*again) == place(*host));
    }

    PXW_FUZZ_CHECK(sameNameIgnoringCase(path, other) == sameNameIgnoringCase(other, path));
    PXW_FUZZ_CHECK(sameNameIgnoringCase(path, path));
    const NameOrder& order = NameOrder::user();
    PXW_FUZZ_CHECK(sign(order.compare(path, other)) == -sign(order.compare(other, path)));
    PXW_FUZZ_CHECK((order.compare(path, other) == 0) == (path == other));
    PXW_FUZZ_CHECK(utf16Length(path) <= path.size());
    if (const std::optional<int> number = readFieldNumber(path))
        PXW_FUZZ_CHECK(*number >= -32768 && *number <= 32767);
    return 0;
}
