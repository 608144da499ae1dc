#include "fakes.h"
#include "ui/help_commands.h"

#include <gtest/gtest.h>

using pxw::platform::MessageIcon;

namespace {
struct HelpFixture : ::testing::Test {
    pxw::testing::FakeServices fake;
    pxw::ui::frmBackupFiles form;
    pxw::ui::HelpCommands help { form, fake.services };
};
} // namespace

TEST(HelpCommandLine, CarriesTheProgramFolderUnquoted) {
    EXPECT_EQ(pxw::ui::helpCommandLine("C:\\Program Files\\Pixelwain"),
        "xdg-open C:\\Program Files\\Pixelwain\\pxwreadme.chm");
}

TEST_F(HelpFixture, HelpStartsTheOpenerOnTheDocumentWithoutAMessage) {
    form.mnuHelpfile.click();
    ASSERT_EQ(fake.processes.openers.size(), 1u);
    EXPECT_EQ(fake.processes.openers[0].first, "xdg-open");
    EXPECT_EQ(fake.processes.openers[0].second, "C:\\Program Files\\Pixelwain\\pxwreadme.chm");
    EXPECT_TRUE(fake.toolkit.messages.empty());
}

TEST_F(HelpFixture, HelpTellsWhenTheOpenerCannotBeStarted) {
    fake.processes.startSucceeds = false;
    form.mnuHelpfile.click();
    ASSERT_EQ(fake.toolkit.messages.size(), 1u);
    EXPECT_EQ(fake.toolkit.messages[0].prompt, "Readme File cannot be found!");
    EXPECT_EQ(fake.toolkit.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(fake.toolkit.messages[0].title, "Message");
}

TEST_F(HelpFixture, LinksOpenTheWebPageWithTheirOwnWindowAsOwner) {
    form.Label2.click();
    help.about().Label4.click();
    ASSERT_EQ(fake.processes.shellOpens.size(), 2u);
    for (const auto& open : fake.processes.shellOpens) {
        EXPECT_EQ(open.verb, "Open");
        EXPECT_EQ(open.target, "pixelwain.example");
        EXPECT_EQ(open.parameters, "");
        EXPECT_EQ(open.directory, "C:\\Program Files\\Pixelwain");
        EXPECT_EQ(open.show, 1);
    }
    EXPECT_EQ(fake.processes.shellOpens[0].owner, pxw::ui::handleOf(form));
    EXPECT_EQ(fake.processes.shellOpens[1].owner, pxw::ui::handleOf(help.about()));
    EXPECT_TRUE(fake.toolkit.messages.empty()) << "the result of the shell is ignored";
}

TEST_F(HelpFixture, AboutIsShownModallyOverTheMainWindowEachTime) {
    form.mnuHelp_About.click();
    form.mnuHelp_About.click();
    ASSERT_EQ(fake.toolkit.modals.size(), 2u);
    EXPECT_EQ(fake.toolkit.modals[0].first, fake.toolkit.modals[1].first);
    EXPECT_EQ(fake.toolkit.modals[0].first, pxw::ui::handleOf(help.about()));
    EXPECT_EQ(fake.toolkit.modals[0].second, pxw::ui::handleOf(form));
}
