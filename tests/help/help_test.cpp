// Checks the help document: the compiled pxwreadme.chm holds every page, the table of contents
// lists every page, links lead somewhere, and the messages are quoted exactly as the program
// shows them.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path sourceDir { PXW_HELP_SOURCE_DIR };
const fs::path chmPath { PXW_HELP_CHM };

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> pagesInSourceFolder() {
    std::set<std::string> pages;
    for (const auto& entry : fs::directory_iterator(sourceDir)) {
        if (entry.path().extension() == ".html")
            pages.insert(entry.path().filename().string());
    }
    return pages;
}

/// Every text that stands between `open` and the next `close`.
std::vector<std::string> allBetween(
    const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> found;
    for (auto start = text.find(open); start != std::string::npos; start = text.find(open, start)) {
        start += open.size();
        const auto end = text.find(close, start);
        if (end == std::string::npos)
            break;
        found.push_back(text.substr(start, end - start));
        start = end + close.size();
    }
    return found;
}

std::vector<std::string> sitemapTargets(const std::string& sitemap) {
    return allBetween(sitemap, R"(<param name="Local" value=")", "\"");
}

/// Reads the names in a compiled help file's directory: the ITSF header points to the ITSP
/// directory, whose PMGL listing chunks hold one entry per stored file.
class ChmDirectory {
public:
    explicit ChmDirectory(std::string data)
        : data_(std::move(data)) { }

    std::set<std::string> names() const {
        if (!hasSignature(0, "ITSF"))
            throw std::runtime_error("no ITSF signature");
        const std::uint64_t directory = field(0x48, 8);
        if (!hasSignature(directory, "ITSP"))
            throw std::runtime_error("no ITSP directory header");
        const std::uint64_t headerLength = field(directory + 0x08, 4);
        const std::uint64_t chunkSize = field(directory + 0x10, 4);
        const std::uint64_t chunks = directory + headerLength;
        constexpr std::uint64_t noChunk = 0xFFFFFFFF;

        std::set<std::string> found;
        std::uint64_t chunk = field(directory + 0x20, 4);
        for (int visited = 0; chunk != noChunk; ++visited) {
            if (visited > 100000)
                throw std::runtime_error("listing chunks form a loop");
            const std::uint64_t base = chunks + chunk * chunkSize;
            if (!hasSignature(base, "PMGL"))
                throw std::runtime_error("listing chunk without PMGL signature");
            const std::uint64_t end = base + chunkSize - field(base + 0x04, 4);
            std::uint64_t at = base + 0x14;
            while (at < end) {
                const std::uint64_t length = encodedInteger(at);
                if (at + length > data_.size())
                    throw std::runtime_error("entry name runs past the end");
                found.insert(data_.substr(at, length));
                at += length;
                for (int number = 0; number < 3; ++number) // section, offset, length
                    encodedInteger(at);
            }
            chunk = field(base + 0x10, 4);
        }
        return found;
    }

private:
    bool hasSignature(std::uint64_t at, const char* signature) const {
        return at <= data_.size() && data_.compare(at, 4, signature) == 0;
    }

    std::uint64_t field(std::uint64_t at, int bytes) const {
        if (at + bytes > data_.size())
            throw std::runtime_error("field past the end of the file");
        std::uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(data_[at + i]);
        return value;
    }

    /// Seven bits a byte, most significant first; a set top bit means more bytes follow.
    std::uint64_t encodedInteger(std::uint64_t& at) const {
        std::uint64_t value = 0;
        unsigned char byte = 0;
        do {
            if (at >= data_.size())
                throw std::runtime_error("number past the end of the file");
            byte = static_cast<unsigned char>(data_[at++]);
            value = (value << 7) | (byte & 0x7F);
        } while (byte & 0x80);
        return value;
    }

    std::string data_;
};

TEST(HelpDocument, IsBuiltIntoTheProgramFolder) {
    ASSERT_TRUE(fs::is_regular_file(chmPath)) << chmPath;
    EXPECT_EQ(chmPath.filename(), "pxwreadme.chm");
    EXPECT_EQ(readFile(chmPath).substr(0, 4), "ITSF");
}

TEST(HelpDocument, TableOfContentsListsEveryPageOnce) {
    const auto pages = pagesInSourceFolder();
    ASSERT_FALSE(pages.empty());
    const auto targets = sitemapTargets(readFile(sourceDir / "pxwreadme.hhc"));
    const std::set<std::string> listed(targets.begin(), targets.end());
    EXPECT_EQ(listed.size(), targets.size()) << "a page is listed twice";
    EXPECT_EQ(listed, pages);
}

TEST(HelpDocument, IndexPointsOnlyToPages) {
    const auto pages = pagesInSourceFolder();
    const auto targets = sitemapTargets(readFile(sourceDir / "pxwreadme.hhk"));
    ASSERT_FALSE(targets.empty());
    for (const auto& target : targets)
        EXPECT_TRUE(pages.contains(target)) << target;
}

TEST(HelpDocument, ProjectNamesEveryPage) {
    const std::string project = readFile(sourceDir / "pxwreadme.hhp");
    const std::string files = project.substr(project.find("[FILES]"));
    std::set<std::string> named;
    std::istringstream lines(files);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        named.insert(line);
    }
    for (const auto& page : pagesInSourceFolder())
        EXPECT_TRUE(named.contains(page)) << page;
    EXPECT_NE(project.find("Compiled file=pxwreadme.chm"), std::string::npos);
}

TEST(HelpDocument, CompiledFileHoldsEveryPageAndTheContents) {
    const auto names = ChmDirectory(readFile(chmPath)).names();
    for (const auto& page : pagesInSourceFolder())
        EXPECT_TRUE(names.contains("/" + page)) << page;
    EXPECT_TRUE(names.contains("/pxwreadme.hhc"));
    EXPECT_TRUE(names.contains("/pxwreadme.hhk"));
    EXPECT_TRUE(names.contains("/style.css"));
    EXPECT_TRUE(names.contains("/#SYSTEM"));
}

TEST(HelpDocument, DirectoryReaderRejectsOtherFiles) {
    EXPECT_THROW(ChmDirectory("PK\x03\x04 not a help file").names(), std::runtime_error);
    EXPECT_THROW(ChmDirectory("ITSF").names(), std::runtime_error);
}

TEST(HelpDocument, LinksLeadToExistingPagesAndAnchors) {
    for (const auto& page : pagesInSourceFolder()) {
        for (const auto& link : allBetween(readFile(sourceDir / page), "href=\"", "\"")) {
            if (link.find("://") != std::string::npos)
                continue;
            const auto hash = link.find('#');
            const std::string file = link.substr(0, hash);
            ASSERT_TRUE(fs::is_regular_file(sourceDir / file)) << page << " links to " << link;
            if (hash != std::string::npos) {
                const std::string anchor = "name=\"" + link.substr(hash + 1) + "\"";
                EXPECT_NE(readFile(sourceDir / file).find(anchor), std::string::npos)
                    << page << " links to " << link;
            }
        }
    }
}

// The fixed parts of every message box text, blanks included.
const std::set<std::string> programMessages {
    "Nothing to remove!",
    "Nothing is in the list box!",
    "Accept integer(1-5000) only  ",
    "Accept integer(1-99) only  ",
    "Success! Your images are converted as ",
    ".   You can click on the open button to open the folder.     ",
    "File is not there!   ",
    "You must Select an icon or keep the default icon in the list box!    ",
    "You must select images into the image file list box!    ",
    "Files missing,cause image edit wizard invalid. Please reinstall this program   ",
    "Success! Your images are wrapped as ",
    ".  You can click on the Run button to check the .Exe file.  ",
    "Readme File cannot be found!",
};

std::vector<std::string> quotedMessages(const std::string& page) {
    return allBetween(page, R"(<code class="msg">)", "</code>");
}

TEST(HelpDocument, MessagesPageQuotesEveryMessageExactly) {
    const auto quoted = quotedMessages(readFile(sourceDir / "messages.html"));
    const std::set<std::string> found(quoted.begin(), quoted.end());
    EXPECT_EQ(found, programMessages);
}

TEST(HelpDocument, EveryQuotedMessageIsOneTheProgramShows) {
    for (const auto& page : pagesInSourceFolder()) {
        for (const auto& text : quotedMessages(readFile(sourceDir / page)))
            EXPECT_TRUE(programMessages.contains(text)) << page << ": \"" << text << "\"";
    }
}

TEST(HelpDocument, NamesTheProgramAndTheMakersAddress) {
    const std::string welcome = readFile(sourceDir / "index.html");
    EXPECT_NE(welcome.find("<title>Welcome to Pixelwain V1.2</title>"), std::string::npos);
    EXPECT_NE(welcome.find("pixelwain.example"), std::string::npos);
    EXPECT_NE(
        readFile(sourceDir / "pxwreadme.hhp").find("Default topic=index.html"), std::string::npos);
}

TEST(HelpDocument, TellsWhereTheFilesLive) {
    const std::string files = readFile(sourceDir / "files.html");
    for (const char* text : { "c:\\windows\\pxwtemp01", "drive_c/windows/pxwtemp01",
             "drive_c/windows/lumaforge/lumabatch.exe", "c:\\windows\\forpxw\\pxwicon.ico",
             "PIXELWAIN_PREFIX", "~/.pixelwain", "dosdevices" })
        EXPECT_NE(files.find(text), std::string::npos) << text;
}

} // namespace
