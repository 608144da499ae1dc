// A folder as users have them: good images of every accepted format, TIFF variants libvips
// refuses, a file that crashes libvips' JPEG 2000 reader, and damaged files. The real tool
// reads them in its sandboxed workers.

#include "base/text.h"
#include "base/unique_fd.h"
#include "isolated_converter.h"
#include "lumabatch/inside/sandbox.h"
#include "reader_wire.h"
#include "sandbox_setup.h"
#include "test_support.h"

#include <array>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

const std::vector<double> Green { 40, 160, 90 };

TEST(Isolation, EveryGoodImageConvertsAndEveryBadOneIsNamed) {
    test::startImageLibraries();
    test::TempFolder root;
    const fs::path source = root / "src";
    const fs::path destination = root / "dst";
    fs::create_directory(source);
    struct Good {
        std::string name;
        int width;
        int height;
        bool flat; ///< one colour, Green, at the bottom right
    };
    std::vector<Good> goods;
    for (const char* extension :
        { "jpg", "gif", "tif", "png", "psd", "bmp", "jp2", "webp", "heic" }) {
        goods.push_back({ std::string(extension) + "." + extension, 160, 80, true });
        test::writeImage(test::patternImage(160, 80, Green, Green), source / goods.back().name);
    }
    test::writeImage(test::patternImage(768, 512, Green, Green), source / "scan.pcd");
    goods.push_back({ "scan.pcd", 768, 512, false });
    test::writeMacPaint(source / "drawing.mac", 100);
    goods.push_back({ "drawing.mac", 576, 720, false });
    test::writeSubsampledTiff(source / "subsampled.tif", 160, 80, Green);
    goods.push_back({ "subsampled.tif", 160, 80, true });
    test::writeOldJpegTiff(source / "oldjpeg.tif", 160, 80, Green);
    goods.push_back({ "oldjpeg.tif", 160, 80, true });
    fs::copy_file(LUMABATCH_TEST_DATA "/decoder-crash.jp2", source / "crash.jp2");
    goods.push_back({ "crash.jp2", 256, 100, false });
    const std::string jpeg = test::readBytes(source / "jpg.jpg");
    test::writeBytes(source / "truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
    const std::string png = test::readBytes(source / "png.png");
    test::writeBytes(source / "truncated.png", png.substr(0, png.size() / 2));
    test::writeBytes(source / "notimage.png", "\x89PNG\r\n\x1a\n but nothing more");

    test::RunResult run = test::runTool({ "s=" + source.string(), "d=" + destination.string(),
        "-w100", "-h100", "-prop", "-dpihor72", "-dpiver72", "-remsrc" });
    EXPECT_EQ(run.exitCode, 1) << run.err;
#if !defined(__SANITIZE_ADDRESS__) // AddressSanitizer's allocator lets the corruption pass
    EXPECT_NE(run.err.find("lumabatch: crash.jp2: the image reader crashed on this file"),
        std::string::npos)
        << run.err;
#endif
    for (const char* bad : { "truncated.jpg: VipsJpeg: Premature end",
             "truncated.png: damaged image", "notimage.png: the" })
        EXPECT_NE(run.err.find(std::string("lumabatch: ") + bad), std::string::npos) << run.err;
    EXPECT_EQ(test::listFolder(source),
        (std::vector<std::string> { "notimage.png", "truncated.jpg", "truncated.png" }));
    // Under the readers' allow-list of system calls, each reads its own formats: only the
    // files above that need one reach a second reader.
    for (const Good& good : goods) {
        const bool needsSecond = good.name == "subsampled.tif" || good.name == "oldjpeg.tif"
            || good.name == "crash.jp2";
        EXPECT_TRUE(
            needsSecond || run.err.find("lumabatch: " + good.name + ":") == std::string::npos)
            << run.err;
    }
    for (const Good& good : goods) {
        SCOPED_TRACE(good.name);
        const fs::path output = destination / fs::path(good.name).replace_extension(".jpg");
        ASSERT_TRUE(fs::exists(output));
        VImage out = VImage::new_from_file(output.c_str());
        const double scale = std::min(100.0 / good.width, 100.0 / good.height);
        EXPECT_NEAR(out.width(), good.width * scale, 1);
        EXPECT_NEAR(out.height(), good.height * scale, 1);
        EXPECT_EQ(out.bands(), 3);
        EXPECT_EQ(out.interpretation(), VIPS_INTERPRETATION_sRGB);
        EXPECT_NEAR(out.xres() * 25.4, 72, 0.01);
        std::vector<double> colour = test::colourAt(out, out.width() - 3, out.height() - 3);
        for (std::size_t band = 0; good.flat && band < 3; ++band)
            EXPECT_NEAR(colour[band], Green[band], 14) << "band " << band;
    }
}

// The JPEG reader reads its files under the allow-list by itself: libvips, which would read
// what it leaves, is replaced by a reader that refuses everything.
TEST(Isolation, TheJpegReaderReadsItsFilesWithoutLibvips) {
    test::startImageLibraries();
    test::TempFolder root;
    const fs::path readers = root / "readers";
    fs::create_directory(readers);
    fs::create_symlink(LUMABATCH_JPEG_READER, readers / "lumabatch-jpeg-reader");
    for (const char* name : { "lumabatch-reader", "lumabatch-magick-reader" })
        fs::create_symlink(LUMABATCH_SANDBOX_PROBE, readers / name);
    const VImage colour = test::patternImage(640, 480, Green, test::Blue);
    std::vector<fs::path> sources { root / "baseline.jpg", root / "progressive.jpg",
        root / "grey.jpg" };
    colour.jpegsave(sources[0].c_str());
    colour.jpegsave(sources[1].c_str(), VImage::option()->set("interlace", true));
    colour.colourspace(VIPS_INTERPRETATION_B_W).jpegsave(sources[2].c_str());
    std::vector<ConvertResult> results(sources.size());
    {
        IsolatedConverter converter(
            { readers, 2, std::chrono::seconds(20), 0 }, { 100, 100, true, 90, 72, 72 });
        const std::atomic<bool> stop = false;
        converter.run(
            sources, [](std::size_t) {},
            [&](std::size_t i, ConvertResult result) { results[i] = std::move(result); }, stop);
    }
    for (std::size_t i = 0; i < sources.size(); ++i)
        EXPECT_TRUE(results[i].converted) << sources[i] << ": " << results[i].reason;
}

// A reader running hostile code: the probe, started by the real tool in place of its readers,
// enters their sandbox and tries one attack per file. Only the first rows may work.
TEST(Sandbox, AHostileReaderReachesOnlyItsOwnFolder) {
    if (landlockVersion() == 0)
        GTEST_SKIP() << "this kernel has no Landlock";
    test::TempFolder root;
    const fs::path readers = root / "readers";
    fs::create_directory(readers);
    for (const char* name :
        { "lumabatch-jpeg-reader", "lumabatch-reader", "lumabatch-magick-reader" })
        fs::create_symlink(LUMABATCH_SANDBOX_PROBE, readers / name);
    test::writeBytes(root / "letter.txt", "private");
    // A local service outside, a descriptor the tool's caller left open, a secret in its
    // environment.
    const base::UniqueFd service(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string servicePath = (root / "service").string();
    std::strncpy(address.sun_path, servicePath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(service.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(service.get(), 1), 0);
    const base::UniqueFd inherited(::open((root / "letter.txt").c_str(), O_RDONLY));
    ::setenv("PXW_PROBE_SECRET", "hunter2", 1);
    const std::pair<std::string, bool> attacks[] = {
        { "write-own-folder", true },
        { "read-library", true },
        { "read-user-file " + (root / "letter.txt").string(), false },
        { "read-etc-shadow /etc/shadow", false },
        { "inet-socket", false },
        { "unix-socket", false },
        { "io-uring", false },
        { "connect-outside " + servicePath, false },
        { "fork", false },
        { "unshare", false },
        { "kill-parent", false },
        { "mknod", false },
        { "fchmod-source", false },
        { "inherited-descriptor", false },
        { "environment-secret PXW_PROBE_SECRET", false },
        { "capability", false },
    };
    std::vector<fs::path> sources;
    for (const auto& [attack, works] : attacks) {
        sources.push_back(root / (std::to_string(sources.size()) + ".probe"));
        test::writeBytes(sources.back(), attack);
    }
    const auto mode = fs::status(sources[12]).permissions();
    // Debian 12's kernel offers version 2, newer ones more; -1 stands for a kernel without
    // Landlock, where readers see their files through a namespace of their own.
    for (const char* version : { "0", "2", "-1" }) {
        if (std::string(version) == "-1" && !canHideFiles())
            continue;
        ::setenv("VIPS_PROBE_LANDLOCK", version, 1);
        std::vector<ConvertResult> results(sources.size());
        {
            IsolatedConverter converter({ readers, 2, std::chrono::seconds(20), 0 }, {});
            const std::atomic<bool> stop = false;
            converter.run(
                sources, [](std::size_t) {},
                [&](std::size_t i, ConvertResult result) { results[i] = std::move(result); }, stop);
        }
        for (std::size_t i = 0; i < sources.size(); ++i) {
            SCOPED_TRACE(attacks[i].first + ", Landlock version " + version);
            EXPECT_EQ(results[i].converted, attacks[i].second) << results[i].reason;
            EXPECT_EQ(results[i].reason.find("could not start"), std::string::npos);
        }
    }
    ::unsetenv("VIPS_PROBE_LANDLOCK");
    ::unsetenv("PXW_PROBE_SECRET");
    EXPECT_EQ(fs::status(sources[12]).permissions(), mode);
    EXPECT_FALSE(fs::exists(root / "disk"));
}

// A reader that breaks the rules of the wire ends at once and costs only its file, whatever
// time limit is left: a stand-in libvips reader (a script beside a copy of the tool) says it
// is ready, then sends what each row says.
TEST(Isolation, RepliesAgainstTheRulesEndTheirReader) {
    test::TempFolder root;
    const fs::path bin = root / "bin";
    const fs::path source = root / "src";
    fs::create_directories(bin);
    fs::create_directories(source);
    fs::copy_file(LUMABATCH_EXECUTABLE, bin / "lumabatch");
    test::writeBytes(source / "a.png", "\x89PNG\r\n\x1A\n");
    const std::string ready
        = "\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000";
    struct Row {
        const char* what;
        std::string reply; ///< after the first "ready", as printf(1) writes it
    };
    const Row rows[] = {
        { "a JPEG of 2^62 bytes",
            "\\001\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\100" },
        { "a second ready", ready },
        { "an outcome that is none",
            "\\115\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000" },
        { "a reason that is no text",
            "\\003\\000\\000\\000\\000\\000\\000\\000\\002\\000\\000\\000\\000\\000\\000\\000\\033"
            "c" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(bin / "lumabatch-reader");
        std::ofstream(bin / "lumabatch-reader")
            << "#!/bin/sh\n[ \"$1\" = " << WorkerArgument << " ] || exit 1\nprintf '" << ready
            << row.reply << "' >&3\nexec sleep 60\n";
        fs::permissions(bin / "lumabatch-reader", fs::perms::owner_all);
        test::RunResult run = test::runTool(
            { "s=" + source.string(), "d=" + (root / "dst").string(), "--time-limit", "30" }, {},
            bin / "lumabatch");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err,
            "lumabatch: a.png: the image reader sent a damaged reply\n"
            "lumabatch: 0 of 1 files converted into \""
                + (root / "dst").string() + "\"; 1 problem reported above\n");
    }
}

// A reader's own long or unprintable reason still reaches the tool as a reason, not as a
// damaged reply.
TEST(Isolation, AReadersReasonIsSentAsTheToolTakesIt) {
    std::array<int, 2> ends {};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()), 0);
    const std::string reason = "libvips:\tline\x1b[2J\xff " + std::string(5000, 'x');
    ASSERT_TRUE(sendReply(ends[1], { WorkerOutcome::Failed, reason }));
    std::string received(2 * MaxReasonBytes, '\0');
    received.resize(static_cast<std::size_t>(::read(ends[0], received.data(), received.size())));
    const DecodedReply decoded = takeReply(received, {});
    EXPECT_EQ(decoded.kind, DecodedReply::Kind::Reply);
    EXPECT_TRUE(base::printable(reason).starts_with(decoded.reply.message.substr(0, 100)));
    ::close(ends[0]);
    ::close(ends[1]);
}

} // namespace
} // namespace pxw::lumabatch
