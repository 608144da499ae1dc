#include "names.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <vector>

namespace pxw::platform {

namespace {

// "de_DE.UTF-8@euro" -> "de_DE"; the C locale -> the root order.
std::string icuLocaleOf(std::string_view posix) {
    std::string name(posix.substr(0, posix.find_first_of(".@")));
    if (name == "C" || name == "POSIX")
        return {};
    return name;
}

std::string userCollationLocale() {
    for (const char* variable : { "LC_ALL", "LC_COLLATE", "LANG" }) {
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    }
    return {};
}

// UTF-16 of a UTF-8 text; nothing when it is not UTF-8.
std::optional<std::u16string> toUtf16(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(
        text.data(), length, nullptr, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return text;
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

struct NameOrder::Collation {
    UCollator* collator = nullptr;
};

void NameOrder::Close::operator()(Collation* collation) const {
    ucol_close(collation->collator);
    delete collation; // NOLINT(cppcoreguidelines-owning-memory): the unique_ptr's deleter
}

NameOrder::NameOrder(std::string_view locale) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(icuLocaleOf(locale).c_str(), &status);
    if (U_FAILURE(status) || !collator) {
        ucol_close(collator);
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
    }
    if (!collator)
        return;
    ucol_setStrength(collator, UCOL_SECONDARY);
    collation_.reset(new Collation { collator });
}

NameOrder::~NameOrder() = default;

const NameOrder& NameOrder::user() {
    static const NameOrder order(userCollationLocale());
    return order;
}

int NameOrder::compare(std::string_view a, std::string_view b) const {
    if (collation_) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result = ucol_strcollUTF8(collation_->collator, a.data(),
            static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()), &status);
        if (U_SUCCESS(status) && result != UCOL_EQUAL)
            return result == UCOL_LESS ? -1 : 1;
    }
    return a.compare(b);
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    const std::optional<std::u16string> wideA = toUtf16(a);
    const std::optional<std::u16string> wideB = toUtf16(b);
    if (!wideA || !wideB)
        return sameIgnoringAsciiCase(a, b);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t order = unorm_compare(reinterpret_cast<const UChar*>(wideA->data()),
        static_cast<int32_t>(wideA->size()), reinterpret_cast<const UChar*>(wideB->data()),
        static_cast<int32_t>(wideB->size()), U_COMPARE_IGNORE_CASE | U_FOLD_CASE_DEFAULT, &status);
    return U_SUCCESS(status) && order == 0;
}

namespace {
// Runs an ICU call that writes `text` changed into a buffer, once more with the length it
// asks for when the first guess was short.
template <typename Convert>
std::optional<std::u16string> converted(const std::u16string& text, Convert convert) {
    std::u16string result(text.size() * 2 + 4, u'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = convert(reinterpret_cast<const UChar*>(text.data()),
            static_cast<int32_t>(text.size()), reinterpret_cast<UChar*>(result.data()),
            static_cast<int32_t>(result.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            result.resize(static_cast<std::size_t>(length));
            continue;
        }
        if (U_FAILURE(status))
            return std::nullopt;
        result.resize(static_cast<std::size_t>(length));
        return result;
    }
    return std::nullopt;
}

std::optional<std::u16string> normalizedNfd(const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status))
        return std::nullopt;
    return converted(text,
        [nfd](const UChar* from, int32_t fromLength, UChar* to, int32_t room, UErrorCode* error) {
            return unorm2_normalize(nfd, from, fromLength, to, room, error);
        });
}

std::optional<std::u16string> foldedCase(const std::u16string& text) {
    return converted(text,
        [](const UChar* from, int32_t fromLength, UChar* to, int32_t room, UErrorCode* error) {
            return u_strFoldCase(to, room, from, fromLength, U_FOLD_CASE_DEFAULT, error);
        });
}
} // namespace

std::string nameKeyIgnoringCase(std::string_view name) {
    // NFD(fold(NFD(name))) is what unorm_compare compares when it ignores case.
    std::optional<std::u16string> wide = toUtf16(name);
    if (wide)
        wide = normalizedNfd(*wide);
    if (wide)
        wide = foldedCase(*wide);
    if (wide)
        wide = normalizedNfd(*wide);
    if (!wide) {
        // 0xFF never begins UTF-8, so these keys meet no key of a UTF-8 name.
        std::string key = "\xff";
        for (char c : name)
            key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return key;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::string key(wide->size() * 3 + 4, '\0');
    int32_t length = 0;
    u_strToUTF8(key.data(), static_cast<int32_t>(key.size()), &length,
        reinterpret_cast<const UChar*>(wide->data()), static_cast<int32_t>(wide->size()), &status);
    key.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return key;
}

std::size_t utf16Length(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()),
        0xFFFD, nullptr, &status);
    return static_cast<std::size_t>(length);
}

} // namespace pxw::platform
