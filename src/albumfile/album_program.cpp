#include "albumfile/album_program.h"

#include "albumfile/album_format.h"

#include <algorithm>
#include <cstdint>
#include <vector>

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

std::size_t alignedUp(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void put16(std::string& bytes, std::uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
}
void append32(std::string& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

// One image of the icon: its .ico directory entry's first 8 bytes (width, height, colours,
// reserved, planes, bits) and its bytes.
struct IconResource {
    std::string entry;
    std::string_view image;
};

std::optional<std::vector<IconResource>> iconResources(std::string_view icon) {
    constexpr std::string_view png("\x89PNG\r\n\x1a\n", 8);
    const std::string bytes(icon);
    if (icon.starts_with(png)) {
        if (icon.size() < 24)
            return std::nullopt;
        // The header chunk's width and height, big-endian; the group entry gives a side of
        // 256 or more as 0.
        auto side = [&](std::size_t at) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4; ++i)
                value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
            return static_cast<char>(value >= 256 ? 0 : value);
        };
        std::string entry { side(16), side(20), 0, 0, 1, 0, 32, 0 };
        return std::vector<IconResource> { { entry, icon } };
    }
    if (icon.size() < 6 || get16(bytes, 0) != 0 || get16(bytes, 2) != 1)
        return std::nullopt;
    const std::size_t count = get16(bytes, 4);
    if (count == 0 || 6 + 16 * count > icon.size())
        return std::nullopt;
    std::vector<IconResource> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 6 + 16 * i;
        const std::uint64_t size = get32(bytes, at + 8), offset = get32(bytes, at + 12);
        if (offset < 6 + 16 * count || offset > icon.size() || size > icon.size() - offset
            || size == 0)
            return std::nullopt;
        images.push_back({ bytes.substr(at, 8), icon.substr(offset, size) });
    }
    return images;
}

} // namespace

std::optional<std::string> withIconResources(
    const std::string& windows, std::string_view icon, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const std::optional<std::vector<IconResource>> images = iconResources(icon);
    if (!images || images->size() > 0x7FFF)
        return fail("the icon is neither an .ico file nor a PNG image");
    if (windows.size() < dosHeaderSize || windows.compare(0, 2, "MZ") != 0)
        return fail("the Windows album program has no MZ header");
    const std::uint32_t peAt = get32(windows, newHeaderPointer);
    if (peAt > windows.size() - 24 || windows.compare(peAt, 4, "PE\0\0", 4) != 0)
        return fail("the Windows album program has no PE header");
    const std::size_t optional = peAt + 24;
    const std::uint32_t sectionCount = get16(windows, peAt + 6);
    const std::uint32_t optionalSize = get16(windows, peAt + 20);
    if (optionalSize < 240 || optional + optionalSize > windows.size()
        || get16(windows, optional) != 0x20B)
        return fail("the Windows album program is not a 64-bit Windows program");
    const std::size_t sections = optional + optionalSize;
    const std::uint32_t sectionAlignment = get32(windows, optional + 32);
    const std::uint32_t fileAlignment = get32(windows, optional + 36);
    const std::uint32_t headersSize = get32(windows, optional + 60);
    const std::size_t resourceDirectory = optional + 128; // the third data directory
    const std::size_t newSection = sections + 40 * std::size_t { sectionCount };
    if (sectionAlignment == 0 || fileAlignment == 0 || headersSize > windows.size()
        || get32(windows, resourceDirectory) != 0 || newSection + 40 > headersSize
        || windows.size() % fileAlignment != 0)
        return fail("the Windows album program has no room for icon resources");
    std::size_t imageEnd = 0;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t header = sections + 40 * i;
        imageEnd = std::max<std::size_t>(imageEnd,
            get32(windows, header + 12)
                + std::max(get32(windows, header + 8), get32(windows, header + 16)));
    }
    const std::size_t sectionRva = alignedUp(imageEnd, sectionAlignment);

    // The resource tree: types (icons 3, group icons 14), names, one language each, then the
    // data entries and the bytes.
    const std::size_t count = images->size();
    const std::size_t iconsAt = 16 + 2 * 8, groupAt = iconsAt + 16 + 8 * count;
    const std::size_t iconLanguagesAt = groupAt + 16 + 8;
    const std::size_t groupLanguageAt = iconLanguagesAt + (16 + 8) * count;
    const std::size_t dataEntriesAt = groupLanguageAt + 16 + 8;
    const std::size_t bytesAt = dataEntriesAt + 16 * (count + 1);
    constexpr std::uint32_t subdirectory = 0x80000000u, neutral = 0;
    std::string tree;
    auto directory = [&](std::uint32_t entries) {
        append32(tree, 0), append32(tree, 0), put16(tree, 0), put16(tree, 0);
        put16(tree, 0), put16(tree, entries);
    };
    directory(2);
    append32(tree, 3), append32(tree, subdirectory | static_cast<std::uint32_t>(iconsAt));
    append32(tree, 14), append32(tree, subdirectory | static_cast<std::uint32_t>(groupAt));
    directory(static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        append32(tree, static_cast<std::uint32_t>(i + 1));
        append32(tree, subdirectory | static_cast<std::uint32_t>(iconLanguagesAt + 24 * i));
    }
    directory(1);
    append32(tree, 1), append32(tree, subdirectory | static_cast<std::uint32_t>(groupLanguageAt));
    for (std::size_t i = 0; i <= count; ++i) {
        directory(1);
        append32(tree, neutral), append32(tree, static_cast<std::uint32_t>(dataEntriesAt + 16 * i));
    }

    std::string group;
    put16(group, 0), put16(group, 1), put16(group, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        group += (*images)[i].entry;
        append32(group, static_cast<std::uint32_t>((*images)[i].image.size()));
        put16(group, static_cast<std::uint32_t>(i + 1));
    }
    std::string data;
    std::string entries;
    auto addData = [&](std::string_view bytes) {
        data.resize(alignedUp(data.size(), 8), '\0');
        append32(entries, static_cast<std::uint32_t>(sectionRva + bytesAt + data.size()));
        append32(entries, static_cast<std::uint32_t>(bytes.size()));
        append32(entries, 0), append32(entries, 0);
        data.append(bytes);
    };
    for (const IconResource& image : *images)
        addData(image.image);
    addData(group);
    std::string section = tree + entries + data;
    if (section.size() > 0x7FFFFFFFu)
        return fail("the icon is too large");

    std::string result = windows;
    const std::size_t rawAt = result.size();
    result.append(alignedUp(section.size(), fileAlignment), '\0');
    result.replace(rawAt, section.size(), section);
    std::string header(".rsrc\0\0\0", 8);
    append32(header, static_cast<std::uint32_t>(section.size()));
    append32(header, static_cast<std::uint32_t>(sectionRva));
    append32(header, static_cast<std::uint32_t>(alignedUp(section.size(), fileAlignment)));
    append32(header, static_cast<std::uint32_t>(rawAt));
    append32(header, 0), append32(header, 0), append32(header, 0);
    append32(header, 0x40000040u); // initialized data, readable
    result.replace(newSection, 40, header);
    result[peAt + 6] = static_cast<char>((sectionCount + 1) & 0xFF);
    result[peAt + 7] = static_cast<char>(((sectionCount + 1) >> 8) & 0xFF);
    put32(result, optional + 56,
        static_cast<std::uint32_t>(alignedUp(sectionRva + section.size(), sectionAlignment)));
    put32(result, resourceDirectory, static_cast<std::uint32_t>(sectionRva));
    put32(result, resourceDirectory + 4, static_cast<std::uint32_t>(section.size()));
    return result;
}

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
