#include "albumfile/album_program.h"

#include "albumfile/album_format.h"

#include <algorithm>
#include <cstdint>

namespace pxw::zip {

namespace {

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t get16(const std::string& bytes, std::size_t at) {
    return little16(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}
std::uint32_t get32(const std::string& bytes, std::size_t at) {
    return little32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

constexpr std::size_t dosHeaderSize = 64, newHeaderPointer = 0x3C;

} // namespace

std::optional<std::string> dualAlbumProgram(
    const std::string& windows, std::string_view linuxProgram, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "the Windows album program " + why;
        return std::nullopt;
    };
    if (windows.size() < dosHeaderSize || windows.compare(0, 2, "MZ") != 0)
        return fail("has no MZ header");
    const std::uint32_t peAt = get32(windows, newHeaderPointer);
    if (peAt < dosHeaderSize || peAt > windows.size() - 24
        || windows.compare(peAt, 4, "PE\0\0", 4) != 0)
        return fail("has no PE header");
    const std::uint32_t sectionCount = get16(windows, peAt + 6);
    const std::uint32_t optionalSize = get16(windows, peAt + 20);
    const std::size_t optional = peAt + 24;
    if (optionalSize < 240 || optional + optionalSize > windows.size()
        || get16(windows, optional) != 0x20B)
        return fail("is not a 64-bit Windows program");
    const std::uint32_t fileAlignment = get32(windows, optional + 36);
    const std::uint32_t headersSize = get32(windows, optional + 60);
    const std::size_t sections = optional + optionalSize;
    const std::size_t headersLength = sections + 40 * std::size_t { sectionCount } - peAt;
    if (fileAlignment == 0 || (fileAlignment & (fileAlignment - 1)) != 0
        || sections + 40 * std::size_t { sectionCount } > headersSize
        || headersSize > windows.size())
        return fail("has damaged headers");

    // The script needs the place and length of the Linux program, which follows the Windows
    // one: the numbers change the script's length, and that may move the headers once more.
    std::string script;
    std::size_t newPeAt = 0, grow = 0;
    for (int pass = 0; pass < 3; ++pass) {
        const std::size_t linuxAt = windows.size() + grow + 1; // tail counts from 1
        script = "'\n"
                 "d=$(mktemp -d \"${TMPDIR:-/tmp}/"
            + std::string(scriptFolderPrefix)
            + "XXXXXX\") || exit 1\n"
              "tail -c +"
            + std::to_string(linuxAt) + " \"$0\" | head -c " + std::to_string(linuxProgram.size())
            + " >\"$d/pxwalbum\" && chmod 700 \"$d/pxwalbum\" && exec \"$d/pxwalbum\" "
            + std::string(albumFileOption)
            + " \"$0\" \"$@\"\n"
              "rm -rf \"$d\"\n"
              "exit 1\n";
        newPeAt = (dosHeaderSize + script.size() + 7) / 8 * 8;
        const std::size_t needed = newPeAt + headersLength;
        const std::size_t newGrow = needed > headersSize
            ? (needed - headersSize + fileAlignment - 1) / fileAlignment * fileAlignment
            : 0;
        if (newGrow == grow)
            break;
        grow = newGrow;
    }
    // The headers are mapped into memory below the first section.
    const std::uint32_t sectionAlignment = get32(windows, optional + 32);
    std::uint32_t firstSection = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < sectionCount; ++i)
        firstSection = std::min(firstSection, get32(windows, sections + 40 * i + 12));
    if (headersSize + grow > firstSection || sectionAlignment == 0)
        return fail("has no room for the script before its first section");

    // The header shell variable's quotes must not end early: no quote in the DOS header.
    std::string header = windows.substr(0, dosHeaderSize);
    header.replace(0, 9, "MZqFpD='\n"); // bash takes a first line with a zero byte for binary
    for (std::size_t at = 9; at < newHeaderPointer; ++at)
        header[at] = '\0';
    put32(header, newHeaderPointer, static_cast<std::uint32_t>(newPeAt));
    if (header.find('\'', 9) != std::string::npos)
        return fail("cannot carry the script");

    std::string peHeaders = windows.substr(peAt, headersLength);
    const std::size_t newSections = sections - peAt;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t raw = newSections + 40 * i + 20;
        if (const std::uint32_t at = get32(peHeaders, raw); at != 0)
            put32(peHeaders, raw, static_cast<std::uint32_t>(at + grow));
    }
    put32(peHeaders, optional - peAt + 60, static_cast<std::uint32_t>(headersSize + grow));
    put32(peHeaders, optional - peAt + 64, 0); // the checksum, which only drivers need
    // Stripped programs keep nothing else at a file offset (no symbol table, no certificate).
    put32(peHeaders, 12, 0);
    put32(peHeaders, 16, 0);

    std::string result = header + script;
    result.resize(newPeAt, '\0');
    result += peHeaders;
    result.resize(headersSize + grow, '\0');
    result.append(windows, headersSize, std::string::npos);
    result.append(linuxProgram);
    return result;
}

} // namespace pxw::zip
