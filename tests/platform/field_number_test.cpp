#include "platform/field_number.h"

#include <clocale>
#include <gtest/gtest.h>

using pxw::platform::readFieldNumber;

TEST(FieldNumber, ReadsEveryFormTheFieldsAccept) {
    struct Row {
        const char* text = nullptr;
        std::optional<int> number;
    };
    for (const Row& row : std::initializer_list<Row> { { "300", 300 }, { "0", 0 }, { "00", 0 },
             { "-5", -5 }, { "+7", 7 }, { "- 5", -5 }, { " 12 ", 12 }, { "\t9\t", 9 }, { "0.4", 0 },
             { "2.5", 2 }, { "3.5", 4 }, { "2.51", 3 }, { "-2.5", -2 }, { "0.5", 0 }, { "1.5", 2 },
             { "5.", 5 }, { ".6", 1 }, { "-.6", -1 }, { ".5", 0 }, { "2.5000000000000000001", 3 },
             { "000000000000000000000000000000000000000000007", 7 }, { "32767", 32767 },
             { "32767.4", 32767 }, { "-32768", -32768 }, { "32767.5", std::nullopt },
             { "32768", std::nullopt }, { "99999", std::nullopt },
             { "99999999999999999999", std::nullopt }, { "", std::nullopt },
             { "abc", std::nullopt }, { "12a", std::nullopt }, { "-", std::nullopt },
             { ".", std::nullopt }, { "1 2", std::nullopt }, { "1e3", std::nullopt },
             { "2,5", std::nullopt }, { "1.2.3", std::nullopt }, { "--1", std::nullopt },
             { "\xd9\xa3", std::nullopt } }) // an Arabic-Indic three
        EXPECT_EQ(readFieldNumber(row.text), row.number) << '"' << row.text << '"';
}

// Under a comma-decimal locale (made by the build in <build>/locale) the reader still takes
// "." and only ".".
TEST(FieldNumber, TheLocaleChangesNothing) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale: localedef did not make one in the build folder";
    EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    EXPECT_EQ(readFieldNumber("0.6"), 1);
    EXPECT_EQ(readFieldNumber("2.6"), 3);
    EXPECT_EQ(readFieldNumber("2,6"), std::nullopt);
    std::setlocale(LC_ALL, before.c_str());
}
