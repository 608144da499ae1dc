#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pxw::platform {

/// Orders file names and paths the way the user's desktop lists them: in the order of a
/// locale, ignoring letter case for every script (the collator's secondary strength: accents
/// count, case does not). Names that still compare equal, "Äpfel" and "äpfel" say, are
/// ordered by their bytes, so the order is total and the same on every run. Names that are
/// not UTF-8 sort as if each bad byte were U+FFFD, then by their bytes.
class NameOrder {
public:
    /// The order of `locale`, a POSIX locale name ("de_DE.UTF-8") or an ICU one; "", "C" and
    /// "POSIX" give the common order of all languages.
    explicit NameOrder(std::string_view locale);
    ~NameOrder();
    NameOrder(const NameOrder&) = delete;
    NameOrder& operator=(const NameOrder&) = delete;

    /// The order of the user's locale, from LC_ALL, LC_COLLATE or LANG (read once).
    static const NameOrder& user();

    /// Negative, zero or positive as `a` comes before, is the same text as, or comes after `b`.
    int compare(std::string_view a, std::string_view b) const;
    bool less(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }

private:
    struct Collation; // the system's: ICU's collator, or the Windows locale's name
    struct Close {
        void operator()(Collation* collation) const;
    };
    std::unique_ptr<Collation, Close> collation_;
};

/// Whether two names are the same ignoring letter case, with Unicode case folding ("Äpfel" and
/// "äPFEL", "STRASSE" and "straße") and the composed and decomposed forms of accented letters
/// taken as one. Names that are not UTF-8 match only with ASCII letter case ignored.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

/// A key for hashing names: two names have the same key exactly when sameNameIgnoringCase
/// holds for them.
std::string nameKeyIgnoringCase(std::string_view name);

/// The length of a UTF-8 text in UTF-16 code units, as the system's dialogs count characters
/// (a letter outside the Basic Multilingual Plane, an emoji say, counts two). A byte that is
/// not UTF-8 counts one.
std::size_t utf16Length(std::string_view utf8);

} // namespace pxw::platform
