#include "app/program.h"
#include "fakes.h"

#include <gtest/gtest.h>

TEST(OpenButton, HandsTheOutputFolderToTheShellAndSaysNothing) {
    pxw::testing::FakeServices fake;
    pxw::app::Program program(fake.services);
    program.load();
    program.form.open.click(); // empty DestDir too
    program.form.DestDir.setText("D:\\out\\");
    program.form.open.click();
    ASSERT_EQ(fake.processes.shellOpens.size(), 2u);
    EXPECT_EQ(fake.processes.shellOpens[0].target, "");
    const auto& open = fake.processes.shellOpens[1];
    EXPECT_EQ(open.owner, pxw::ui::handleOf(program.form));
    EXPECT_EQ(open.verb, "Open");
    EXPECT_EQ(open.target, "D:\\out\\");
    EXPECT_EQ(open.parameters, "");
    EXPECT_EQ(open.directory, "C:\\Program Files\\Pixelwain");
    EXPECT_EQ(open.show, 1);
    EXPECT_TRUE(fake.toolkit.messages.empty());
}
