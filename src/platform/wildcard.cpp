#include "wildcard.h"

#include "base/text.h"

#include <optional>
#include <vector>

namespace pxw::platform {

namespace {

// The characters of a UTF-8 name, so that `?` stands for one character, not one byte.
std::vector<std::string_view> charactersOf(std::string_view text) {
    std::vector<std::string_view> characters;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 1;
        while (i + length < text.size()
            && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
            ++length;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

bool sameCharacter(std::string_view a, std::string_view b) {
    return a.size() == 1 ? base::equalIgnoringCase(a, b) : a == b;
}

bool globMatches(std::string_view pattern, std::string_view name) {
    const auto p = charactersOf(pattern);
    const auto n = charactersOf(name);
    std::size_t pi = 0, ni = 0;
    std::optional<std::size_t> starAt;
    std::size_t nameAfterStar = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == "*") {
            starAt = pi++;
            nameAfterStar = ni;
        } else if (pi < p.size() && (p[pi] == "?" || sameCharacter(p[pi], n[ni]))) {
            ++pi;
            ++ni;
        } else if (starAt) {
            pi = *starAt + 1;
            ni = ++nameAfterStar;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == "*")
        ++pi;
    return pi == p.size();
}

} // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        if (globMatches(pattern, name))
            return true;
        return !hasDot && globMatches(pattern.substr(0, pattern.size() - 2), name);
    }
    if (!pattern.empty() && pattern.back() == '.')
        return !hasDot && globMatches(pattern.substr(0, pattern.size() - 1), name);
    return globMatches(pattern, name);
}

WildcardPath splitWildcardPath(const std::string& wildcard) {
    if (auto slash = wildcard.find_last_of("\\/"); slash != std::string::npos)
        return { wildcard.substr(0, slash + 1), wildcard.substr(slash + 1) };
    if (wildcard.size() >= 2 && wildcard[1] == ':')
        return { wildcard.substr(0, 2) + "\\", wildcard.substr(2) };
    return { {}, wildcard };
}

} // namespace pxw::platform
