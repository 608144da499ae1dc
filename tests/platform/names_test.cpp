#include "platform/names.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace pxw::platform {
namespace {

// Each row: a locale and names in the order a desktop in that locale lists them.
TEST(NameOrder, ListsNamesAsTheDesktopDoes) {
    struct Row {
        const char* locale;
        std::vector<std::string> ordered;
    };
    const Row rows[] = {
    // Blanks and punctuation first, then digits (digit by digit), then letters; accented
    // letters beside their base letter; case ignored, ties by bytes.
#ifdef _WIN32
        // Windows' word sort passes over a hyphen, so that "co-op" stays beside "coop".
        { "C",
            { " lead.jpg", "_under.jpg", "01.jpg", "1.jpg", "10.jpg", "2.jpg", "Apple.jpg",
                "apple.jpg", "-dash.jpg", "Émile.jpg", "zebra.jpg", "ZEBRA2.jpg" } },
#else
        { "C",
            { " lead.jpg", "_under.jpg", "-dash.jpg", "01.jpg", "1.jpg", "10.jpg", "2.jpg",
                "Apple.jpg", "apple.jpg", "Émile.jpg", "zebra.jpg", "ZEBRA2.jpg" } },
#endif
        // German: Ä with A, ß as ss; "Äpfel" and "äpfel" equal but for case: bytes decide.
        { "de_DE.UTF-8",
            { "Apfel.jpg", "Äpfel.jpg", "äpfel.jpg", "Masse.jpg", "Maße.jpg", "Muster.jpg",
                "Zoo.jpg" } },
        // Swedish puts Ä after Z.
        { "sv_SE.UTF-8", { "Apfel.jpg", "Zoo.jpg", "Äpfel.jpg" } },
    // Russian puts Cyrillic before Latin (Windows keeps Latin first in every locale); Ё
    // with Е, case ignored.
#ifdef _WIN32
        { "ru_RU.UTF-8", { "zebra.jpg", "ёлка.jpg", "Ёлка2.jpg", "Ель.jpg", "Жук.jpg" } },
#else
        { "ru_RU.UTF-8", { "ёлка.jpg", "Ёлка2.jpg", "Ель.jpg", "Жук.jpg", "zebra.jpg" } },
#endif
        // CJK after the other scripts.
        { "C", { "zebra.jpg", "Жук.jpg", "東京.jpg" } },
    // A name that is not UTF-8 still gets one fixed place (on Windows, where no file name
    // is such, that of U+FFFD, a symbol).
#ifdef _WIN32
        { "C", { "caf\xe9.jpg", "cafe.jpg", "caf\xe9s.jpg" } },
#else
        { "C", { "cafe.jpg", "caf\xe9.jpg", "caf\xe9s.jpg" } },
#endif
    };
    std::mt19937 shuffler(13);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.locale);
        const NameOrder order(row.locale);
        std::vector<std::string> names = row.ordered;
        for (int round = 0; round < 4; ++round) {
            std::shuffle(names.begin(), names.end(), shuffler);
            std::sort(names.begin(), names.end(),
                [&](const std::string& a, const std::string& b) { return order.less(a, b); });
            EXPECT_EQ(names, row.ordered);
        }
        for (const std::string& name : row.ordered)
            EXPECT_EQ(order.compare(name, name), 0) << name;
    }
}

TEST(NameOrder, TakesPosixLocaleNames) {
    EXPECT_TRUE(NameOrder("sv_SE.UTF-8@euro").less("Zoo", "Äpfel"));
    EXPECT_TRUE(NameOrder("de_DE").less("Äpfel", "Zoo"));
    EXPECT_TRUE(NameOrder("POSIX").less("Äpfel", "Zoo"));
    EXPECT_TRUE(NameOrder("xx_nonsense").less("Äpfel", "Zoo"));
}

TEST(Names, SameIgnoringCaseForEveryScript) {
    struct Row {
        const char* a;
        const char* b;
        bool same;
    };
    for (const Row& row :
        std::initializer_list<Row> { { "photo.JPG", "Photo.jpg", true }, { "Äpfel", "äPFEL", true },
            { "ЁЛКА", "ёлка", true },
    // Windows' file systems compare names by their upper case, and ß has none.
#ifdef _WIN32
            { "STRASSE", "straße", false },
#else
            { "STRASSE", "straße", true },
#endif
            { "Äpfel", "A\xcc\x88pfel", true }, { "Äpfel", "Apfel", false },
            { "東京", "東京", true }, { "caf\xe9", "CAF\xe9", true },
            { "caf\xe9", "caf\xe8", false }, { "caf\xe9", "café", false }, { "a", "ab", false } }) {
        EXPECT_EQ(sameNameIgnoringCase(row.a, row.b), row.same) << row.a << " / " << row.b;
        EXPECT_EQ(nameKeyIgnoringCase(row.a) == nameKeyIgnoringCase(row.b), row.same)
            << "the key follows the comparison: " << row.a << " / " << row.b;
    }
}

TEST(Names, CountsUtf16CodeUnits) {
    struct Row {
        const char* text;
        std::size_t units;
    };
    for (const Row& row : std::initializer_list<Row> { { "", 0 }, { "abc", 3 }, { "Ёлка", 4 },
             { "東京", 2 }, { "😀", 2 }, { "caf\xe9", 4 }, { "A\xcc\x88", 2 } })
        EXPECT_EQ(utf16Length(row.text), row.units) << row.text;
}

} // namespace
} // namespace pxw::platform
