#include "fakes.h"
#include "inputs/input_commands.h"
#include "inputs/size_fields.h"

#include <gtest/gtest.h>

using pxw::inputs::readInteger16;

TEST(ReadInteger16, ReadsLikeTheFieldCheckDoes) {
    struct Row {
        const char* text = nullptr;
        std::optional<int> number;
    };
    for (const Row& row : std::initializer_list<Row> { { "300", 300 }, { "0", 0 }, { "00", 0 },
             { "-5", -5 }, { "+7", 7 }, { " 12 ", 12 }, { "0.4", 0 }, { "2.5", 2 }, { "3.5", 4 },
             { "-2.5", -2 }, { "0.5", 0 }, { "1.5", 2 }, { "5.", 5 }, { ".6", 1 },
             { "32767", 32767 }, { "-32768", -32768 }, { "32768", std::nullopt },
             { "99999", std::nullopt }, { "", std::nullopt }, { "abc", std::nullopt },
             { "12a", std::nullopt }, { "-", std::nullopt }, { ".", std::nullopt },
             { "1 2", std::nullopt }, { "1e3", std::nullopt } })
        EXPECT_EQ(readInteger16(row.text), row.number) << '"' << row.text << '"';
}

namespace {
struct FieldsFixture : ::testing::Test {
    pxw::testing::FakeServices fake;
    pxw::ui::frmBackupFiles form;
    pxw::inputs::InputCommands commands { form, fake.services };
};
} // namespace

TEST_F(FieldsFixture, OutOfRangeGivesOneWarningAndTheDefault) {
    struct Row {
        pxw::ui::TextBox pxw::ui::frmBackupFiles::*field;
        const char* typed;
        const char* warning; // nullptr: accepted silently
        const char* result;
    };
    const char* size = "Accept integer(1-5000) only  ";
    const char* quality = "Accept integer(1-99) only  ";
    using F = pxw::ui::frmBackupFiles;
    for (const Row& row : std::initializer_list<Row> {
             { &F::txtWidth, "5000", nullptr, "5000" },
             { &F::txtWidth, "5001", size, "300" },
             { &F::txtHeight, "5001", size, "400" },
             { &F::txtWidth, "0", size, "300" },
             { &F::txtHeight, "00", size, "400" },
             { &F::txtWidth, "-5", size, "300" },
             { &F::txtWidth, "0.4", size, "300" },
             { &F::txtWidth, "2.5", nullptr, "2.5" },
             { &F::txtWidth, "", nullptr, "" },
             { &F::txtWidth, "12a", nullptr, "12a" },
             { &F::txtHeight, "abc", nullptr, "abc" },
             { &F::txtWidth, "99999", nullptr, "99999" },
             { &F::compressQ, "99", nullptr, "99" },
             { &F::compressQ, "0", quality, "90" },
             { &F::compressQ, "-1", quality, "90" },
             { &F::compressQ, "-9", quality, "90" },
             { &F::compressQ, "100", quality, "90" },
         }) {
        SCOPED_TRACE(row.typed);
        fake.toolkit.messages.clear();
        pxw::ui::TextBox& field = form.*row.field;
        field.setText("1");
        field.setText(row.typed);
        EXPECT_EQ(field.text(), row.result);
        if (row.warning) {
            ASSERT_EQ(fake.toolkit.messages.size(), 1u);
            EXPECT_EQ(fake.toolkit.messages[0].prompt, row.warning);
            EXPECT_EQ(fake.toolkit.messages[0].icon, pxw::platform::MessageIcon::Information);
            EXPECT_EQ(fake.toolkit.messages[0].title, "Warning");
        } else {
            EXPECT_TRUE(fake.toolkit.messages.empty());
        }
    }
}

TEST_F(FieldsFixture, WarningComesBeforeTheDefaultIsPutBack) {
    std::string textDuringWarning;
    fake.toolkit.onMessage = [&](const auto&) { textDuringWarning = form.txtWidth.text(); };
    form.txtWidth.setText("6000");
    EXPECT_EQ(textDuringWarning, "6000");
    EXPECT_EQ(form.txtWidth.text(), "300");
}
