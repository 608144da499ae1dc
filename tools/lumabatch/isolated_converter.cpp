#include "isolated_converter.h"

#include "reader_choice.h"
#include "reader_pool.h"
#include "sandbox_setup.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

constexpr std::uint64_t MiB = std::uint64_t { 1024 } * 1024;
// A baseline JPEG takes at most ~10 bytes a pixel (every coefficient of every block coded at
// its longest), and stuffed bytes double that; the headers come on top.
constexpr std::uint64_t JpegBytesPerPixel = 24;
constexpr std::uint64_t JpegHeaderBytes = MiB;

// The largest JPEG a reader may send for a file: from the output size asked for, where one
// side or both are left to the source, from what the source's head claims; never more than a
// reader may hold.
std::uint64_t jpegLimit(
    const ConvertSettings& settings, const SourceHead& head, std::uint64_t memoryLimit) {
    const std::uint64_t most = memoryLimit > 0 ? memoryLimit : std::uint64_t { 4096 } * MiB;
    std::uint64_t width = static_cast<std::uint64_t>(std::max(settings.width.value_or(0), 0));
    std::uint64_t height = static_cast<std::uint64_t>(std::max(settings.height.value_or(0), 0));
    if (head.width > 0 && head.height > 0 && (width == 0 || height == 0)) {
        // EXIF may turn the picture a quarter: the free side takes the longer of both ratios.
        const std::uint64_t longer = std::max(head.width, head.height);
        const std::uint64_t shorter = std::min(head.width, head.height);
        if (width == 0 && height == 0) {
            width = head.width;
            height = head.height;
        } else if (width == 0) {
            width = (height * longer + shorter - 1) / shorter;
        } else {
            height = (width * longer + shorter - 1) / shorter;
        }
    }
    // Sides of at most 2^31 each: their product does not overflow.
    if (width == 0 || height == 0 || width * height >= most / JpegBytesPerPixel)
        return most;
    return std::min(most, width * height * JpegBytesPerPixel + JpegHeaderBytes);
}

} // namespace

IsolatedConverter::IsolatedConverter(IsolationSettings isolation, ConvertSettings settings)
    : isolation_(std::move(isolation))
    , settings_(settings) {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern
        = (fs::path(temporary && *temporary ? temporary : "/tmp") / "lumabatch-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        folder_ = pattern;
    handToReaderUser(folder_);
}

IsolatedConverter::~IsolatedConverter() {
    std::error_code ec;
    if (!folder_.empty())
        fs::remove_all(folder_, ec);
}

std::uint64_t IsolatedConverter::defaultMemoryLimit(unsigned workers) {
    const auto physical = static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES))
        * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return std::clamp<std::uint64_t>(physical / 2 / std::max(workers, 1U), 1024 * MiB, 4096 * MiB);
}

PlannedFile IsolatedConverter::planFile(const fs::path& source, const ConvertSettings& settings,
    std::uint64_t memoryLimit, bool* modulesNeeded) {
    PlannedFile file;
    file.path = source;
    const OpenedSource opened = openSource(source);
    if (!opened.fd) {
        file.refusal = opened.refusal;
        return file;
    }
    file.device = opened.device;
    file.inode = opened.inode;
    const SourceHead head = readHead(opened.fd.get(), source);
    // The JPEG reader writes the resolution asked for; keeping the source's is libvips' work.
    const bool jpegReaderFits = settings.dpiHorizontal && settings.dpiVertical;
    file.magickFormat = magickFormatFor(head.reader);
    file.program = needsMagick(file.magickFormat) ? Program::Magick : Program::Vips;
    if (jpegReaderFits && head.reader == Reader::Vips && head.jpegReaderReads)
        file.program = Program::Jpeg;
    file.secondFormat = secondReaderFormat(source);
    file.heavy = readsWholeImageAtOnce(head);
    // A bomb is answered before any reader spends time and memory on it.
    file.refusal = costRefusal(head, memoryLimit);
    file.jpegLimit = jpegLimit(settings, head, memoryLimit);
    // The second readers (libtiff, ImageMagick) need no module of libvips either.
    if (head.reader == Reader::Vips && !head.libvipsItself)
        *modulesNeeded = true;
    return file;
}

void IsolatedConverter::run(const std::vector<fs::path>& sources,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished,
    const std::atomic<bool>& stop) {
    bool modulesNeeded = false;
    std::vector<PlannedFile> files;
    files.reserve(sources.size());
    for (const fs::path& source : sources)
        files.push_back(planFile(source, settings_, isolation_.memoryLimit, &modulesNeeded));
    ConversionPlan plan(std::move(files));
    ProcessPool pool(
        { isolation_.readerFolder, folder_,
            static_cast<unsigned>(std::min<std::size_t>(
                std::max(isolation_.workers, 1U), std::max<std::size_t>(sources.size(), 1))),
            isolation_.timeLimit, isolation_.memoryLimit, modulesNeeded },
        settings_);
    runPlan(plan, pool, started, finished, stop);
}

} // namespace pxw::lumabatch
