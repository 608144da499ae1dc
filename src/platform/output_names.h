#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pxw::platform {

/// An output naming template, the one rule of the image tool and of the window that asks
/// before a run replaces files: text, then `[counterN;S]`, then text ending in the extension.
/// The n-th output (from 0) gets the number S + n, zero-filled to N digits; a number that needs
/// more digits is written in full, so names never repeat.
class NameTemplate {
public:
    /// Reads a template. Refuses (nullopt, *error set) anything that is not of the form above,
    /// an extension other than a JPEG one, and any text that could leave the destination
    /// folder: a `\`, a `/` or `..`.
    static std::optional<NameTemplate> parse(std::string_view text, std::string* error);

    /// Name of the output with running index `index` (0 for the first output).
    std::string nameFor(std::uint64_t index) const;

    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::string prefix_;
    std::string suffix_;
    int digits_ = 1;
    std::uint64_t first_ = 0;
};

/// True when `name` ends in .jpg, .jpeg or .jpe, ignoring letter case.
bool hasJpegExtension(std::string_view name);

/// Output name for a source when no template is given: its name with the extension replaced
/// by .jpg.
std::string keptBaseName(std::string_view sourceName);

} // namespace pxw::platform
