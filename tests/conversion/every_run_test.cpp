// Every run converts the images listed, into the folder chosen: with the real window model, the
// real image tool in a temporary prefix and real files.

#include "base/text.h"
#include "convert_fixture.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>

namespace fs = std::filesystem;
using pxw::testing::fileNames;
using pxw::testing::readFile;
using pxw::testing::ScriptedDialogs;

namespace {

enum class Button { Convert, OutputToFolder };

struct EveryRun : pxw::testing::ProgramWithTool {
    void listPhoto(const std::string& name) {
        pxw::testing::makeJpeg(prefix.driveD() / name, 640, 480);
        list(name);
    }
    void click(Button button, const std::string& folder) {
        dialogs.answers.push_back(ScriptedDialogs::choose(folder + "Select Folder and click Open"));
        (button == Button::Convert ? form.Convert : form.Command2).click();
    }
    fs::path out() const { return prefix.driveD() / "out"; }
    void SetUp() override {
        ProgramWithTool::SetUp();
        fs::create_directories(out());
        fs::create_directories(prefix.workFolder());
    }
};

struct LeftoverCase {
    Button button;
};
class Leftovers : public EveryRun, public ::testing::WithParamInterface<LeftoverCase> { };

TEST_P(Leftovers, AreRemovedBeforeStaging) {
    pxw::testing::makeJpeg(prefix.workFolder() / "left.jpg", 640, 480);
    listPhoto("a.jpg");
    click(GetParam().button, "D:\\out\\");
    EXPECT_FALSE(fs::exists(prefix.workFolder() / "left.jpg"));
    ASSERT_TRUE(pxw::testing::waitForFiles(out(), 1, ".jpg", std::chrono::seconds(60)));
    EXPECT_EQ(fileNames(out()), std::vector<std::string> { "00.jpg" });
}

std::string buttonName(Button button) {
    return button == Button::Convert ? "Convert" : "OutputToFolder";
}

INSTANTIATE_TEST_SUITE_P(Runs, Leftovers,
    ::testing::Values(LeftoverCase { Button::Convert }, LeftoverCase { Button::OutputToFolder }),
    [](const auto& info) { return buttonName(info.param.button); });

struct ClashCase {
    Button button;
    bool replace;
};
class Clash : public EveryRun, public ::testing::WithParamInterface<ClashCase> { };

TEST_P(Clash, IsAskedOnceAndCancelChangesNothing) {
    pxw::testing::writeFile(out() / "00.jpg", "the user's own file");
    pxw::testing::writeFile(out() / "01.jpg", "another of the user's files");
    listPhoto("a.jpg");
    listPhoto("b.jpg");
    listPhoto("c.jpg");
    toolkit.confirmAnswers.push_back(GetParam().replace);
    click(GetParam().button, "D:\\out\\");
    ASSERT_EQ(toolkit.questions.size(), 1u);
    const std::string& question = toolkit.questions[0].prompt;
    EXPECT_EQ(question.rfind("2 files in D:\\out\\", 0), 0u) << question;
    EXPECT_NE(question.find("\n00.jpg\n01.jpg\n"), std::string::npos) << question;
    if (GetParam().replace) {
        EXPECT_EQ(fileNames(out()), (std::vector<std::string> { "00.jpg", "01.jpg", "02.jpg" }));
        EXPECT_NE(readFile(out() / "00.jpg"), "the user's own file");
    } else {
        EXPECT_EQ(readFile(out() / "00.jpg"), "the user's own file");
        EXPECT_EQ(fileNames(out()), (std::vector<std::string> { "00.jpg", "01.jpg" }));
        EXPECT_TRUE(fileNames(prefix.workFolder()).empty()) << "nothing staged";
        EXPECT_TRUE(toolkit.messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, Clash,
    ::testing::Values(ClashCase { Button::Convert, true }, ClashCase { Button::Convert, false },
        ClashCase { Button::OutputToFolder, false }),
    [](const auto& info) {
        return buttonName(info.param.button) + (info.param.replace ? "Replace" : "Cancel");
    });

TEST_F(EveryRun, ASecondWindowWhileARunHoldsTheWorkFolderStartsNothing) {
    listPhoto("a.jpg");
    pxw::app::Program second { services };
    second.load();
    pxw::testing::writeFile(prefix.driveD() / "b.jpg", "any");
    second.form.FileList.AddItem("D:\\b.jpg");
    std::vector<std::string> workFolderDuringTheTry;
    toolkit.onPump = [&] {
        if (!form.waitingForTool || !workFolderDuringTheTry.empty())
            return;
        workFolderDuringTheTry = fileNames(prefix.workFolder());
        workFolderDuringTheTry.push_back("(tried)");
        dialogs.answers.push_back(ScriptedDialogs::choose("D:\\Select Folder and click Open"));
        second.form.Convert.click();
    };
    click(Button::Convert, "D:\\out\\");
    ASSERT_FALSE(workFolderDuringTheTry.empty());
    ASSERT_EQ(toolkit.messages.size(), 2u);
    EXPECT_EQ(toolkit.messages[0].prompt.rfind("Another conversion is still using the work folder "
                                               "c:\\windows\\pxwtemp01.",
                  0),
        0u)
        << toolkit.messages[0].prompt;
    EXPECT_FALSE(fs::exists(prefix.workFolder() / "b.jpg")) << "the second window staged nothing";
    EXPECT_EQ(fileNames(out()), std::vector<std::string> { "00.jpg" });
    EXPECT_EQ(toolkit.messages[1].title, "Pixelwain");
}

struct ReasonCase {
    const char* width;
    bool readOnlyOutput;
    std::string reason; ///< what the message must hold: the tool's own words
    const char* start; ///< how the message begins
};
void PrintTo(const ReasonCase& row, std::ostream* out) {
    *out << (row.readOnlyOutput ? "a read-only folder" : "a bad width");
}
class ToolReason : public EveryRun, public ::testing::WithParamInterface<ReasonCase> { };

TEST_P(ToolReason, ReachesTheWindowAndNothingPassesForConverted) {
    std::string folder = "D:\\out\\";
    if (GetParam().readOnlyOutput) {
        const char* readOnly = std::getenv("PXW_READ_ONLY_FOLDER");
        if (!readOnly)
            GTEST_SKIP() << "needs a read-only folder: run by the CTest entry "
                            "every_run_read_only_folder";
        fs::create_directory_symlink(readOnly, prefix.prefix() / "dosdevices" / "r:");
        folder = "R:\\";
    }
    listPhoto("a.jpg");
    form.txtWidth.setText(GetParam().width);
    click(Button::Convert, folder);
    ASSERT_EQ(toolkit.messages.size(), 1u);
    const std::string& prompt = toolkit.messages[0].prompt;
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_EQ(prompt.rfind(GetParam().start, 0), 0u) << prompt;
    EXPECT_NE(prompt.find(GetParam().reason), std::string::npos) << prompt;
    EXPECT_NE(prompt.find("No image was converted."), std::string::npos) << prompt;
    EXPECT_EQ(prompt.find("converted images are in"), std::string::npos) << prompt;
    EXPECT_TRUE(fileNames(out()).empty());
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "a.jpg" });
}

INSTANTIATE_TEST_SUITE_P(Runs, ToolReason,
    ::testing::Values(ReasonCase { "wide", false, "-w", "The image tool refused to run: " },
        ReasonCase { "300", true, pxw::base::errorText(EROFS),
            "1 image of 1 could not be converted:\nD:\\a.jpg: " }),
    [](const auto& info) {
        return std::string(info.param.readOnlyOutput ? "ReadOnlyFolder" : "BadWidth");
    });

} // namespace
