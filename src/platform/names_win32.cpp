// The Windows side of names.h: the order of the user's locale from CompareStringEx, and the
// case rule of Windows' file systems (NTFS compares names by their upper case).

#include "base/wide_text.h"
#include "names.h"

#include <windows.h>

namespace pxw::platform {

namespace {

// "de_DE.UTF-8@euro" -> "de-DE"; the C locale -> the invariant order.
std::wstring windowsLocaleOf(std::string_view posix) {
    std::string name(posix.substr(0, posix.find_first_of(".@")));
    if (name == "C" || name == "POSIX")
        name.clear();
    for (char& c : name) {
        if (c == '_')
            c = '-';
    }
    return base::widened(name);
}

std::wstring mapped(const std::wstring& text, DWORD how, const wchar_t* locale) {
    if (text.empty())
        return text;
    const int size = static_cast<int>(text.size());
    const int length
        = ::LCMapStringEx(locale, how, text.data(), size, nullptr, 0, nullptr, nullptr, 0);
    if (length <= 0)
        return text;
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::LCMapStringEx(locale, how, text.data(), size, result.data(), length, nullptr, nullptr, 0);
    return result;
}

std::wstring decomposed(const std::wstring& text) {
    if (text.empty())
        return text;
    const int size = static_cast<int>(text.size());
    int length = ::NormalizeString(NormalizationD, text.data(), size, nullptr, 0);
    for (int attempt = 0; attempt < 2 && length > 0; ++attempt) {
        std::wstring result(static_cast<std::size_t>(length), L'\0');
        length = ::NormalizeString(NormalizationD, text.data(), size, result.data(), length);
        if (length > 0) {
            result.resize(static_cast<std::size_t>(length));
            return result;
        }
        // The first answer is only an estimate: a short buffer gives the length it needs.
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        length = -length;
    }
    return text;
}

} // namespace

struct NameOrder::Collation {
    std::wstring locale; // empty: the invariant order
};

void NameOrder::Close::operator()(Collation* collation) const {
    delete collation; // NOLINT(cppcoreguidelines-owning-memory): the unique_ptr's deleter
}

NameOrder::NameOrder(std::string_view locale)
    : collation_(new Collation { windowsLocaleOf(locale) }) {
    if (!collation_->locale.empty() && ::IsValidLocaleName(collation_->locale.c_str()) == 0)
        collation_->locale.clear();
}

NameOrder::~NameOrder() = default;

const NameOrder& NameOrder::user() {
    static const NameOrder order([] {
        std::wstring name(LOCALE_NAME_MAX_LENGTH, L'\0');
        const int length = ::GetUserDefaultLocaleName(name.data(), LOCALE_NAME_MAX_LENGTH);
        name.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
        return base::narrowed(name);
    }());
    return order;
}

int NameOrder::compare(std::string_view a, std::string_view b) const {
    const std::wstring wideA = base::widened(a);
    const std::wstring wideB = base::widened(b);
    const wchar_t* locale
        = collation_->locale.empty() ? LOCALE_NAME_INVARIANT : collation_->locale.c_str();
    const int result = ::CompareStringEx(locale, LINGUISTIC_IGNORECASE, wideA.data(),
        static_cast<int>(wideA.size()), wideB.data(), static_cast<int>(wideB.size()), nullptr,
        nullptr, 0);
    if (result == CSTR_LESS_THAN)
        return -1;
    if (result == CSTR_GREATER_THAN)
        return 1;
    return a.compare(b);
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a == b || nameKeyIgnoringCase(a) == nameKeyIgnoringCase(b);
}

std::string nameKeyIgnoringCase(std::string_view name) {
    const std::optional<std::wstring> wide = base::widenedStrictly(name);
    if (!wide) {
        // 0xFF never begins UTF-8, so these keys meet no key of a UTF-8 name.
        std::string key = "\xff";
        for (char c : name)
            key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return key;
    }
    return base::narrowed(mapped(decomposed(*wide), LCMAP_UPPERCASE, LOCALE_NAME_INVARIANT));
}

std::size_t utf16Length(std::string_view utf8) {
    return base::widened(utf8).size();
}

} // namespace pxw::platform
