#include "options.h"

#include "base/text.h"
#include "lumabatch/inside/text_util.h"
#include "platform/field_number.h"

#include <algorithm>
#include <functional>
#include <ostream>

namespace pxw::lumabatch {

namespace {

constexpr int NoLimit = -1;
constexpr int MaxDpi = 10000;
constexpr int MaxTimeLimit = 32767;

struct UsageError {
    std::string message;
};

// How an option carries its value.
enum class Shape {
    Flag, ///< the whole argument, nothing more
    Attached, ///< the name followed directly by the value: -q90, s=FOLDER
    Parenthesized, ///< the name, "(", ";"-separated values, ")": -sizeto(-1;-1;300;400)
};

struct OptionRule {
    std::string_view name;
    Shape shape;
    std::function<void(Options&, std::string_view value)> apply;
};

int readInRange(
    std::string_view option, std::string_view value, int low, int high, std::string_view what) {
    std::optional<int> number = platform::readFieldNumber(value);
    if (!number || *number < low || *number > high)
        throw UsageError { std::string(option) + " needs " + std::string(what) + " from "
            + std::to_string(low) + " to " + std::to_string(high) + ", got "
            + base::inQuotes(value) };
    return *number;
}

int readSide(std::string_view option, std::string_view value) {
    return readInRange(option, value, 1, MaxSide, "a size in pixels");
}

// A size of -sizeto: a side, or -1 for no limit.
std::optional<int> readLimit(std::string_view value) {
    if (std::optional<int> number = platform::readFieldNumber(value); number && *number == NoLimit)
        return std::nullopt;
    return readInRange("-sizeto", value, 1, MaxSide, "sizes (or -1 for no limit)");
}

std::vector<std::string_view> splitList(std::string_view list) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (;;) {
        std::size_t semicolon = list.find(';', start);
        items.push_back(list.substr(start, semicolon - start));
        if (semicolon == std::string_view::npos)
            return items;
        start = semicolon + 1;
    }
}

void applySizeTo(Options& options, std::string_view list) {
    std::vector<std::string_view> sizes = splitList(list);
    if (sizes.size() != 4)
        throw UsageError { "-sizeto needs four values, as in -sizeto(-1;-1;300;400), got \"("
            + std::string(list) + ")\"" };
    // The first two are read for their form only: the box is given by the last two.
    readLimit(sizes[0]);
    readLimit(sizes[1]);
    options.width = readLimit(sizes[2]);
    options.height = readLimit(sizes[3]);
}

void applyExclude(Options& options, std::string_view list) {
    for (std::string_view extension : splitList(list)) {
        if (!extension.empty() && extension.front() == '.')
            extension.remove_prefix(1);
        if (extension.empty())
            throw UsageError { "-exclude needs extensions, as in -exclude(db), got \"("
                + std::string(list) + ")\"" };
        options.excludedExtensions.emplace_back(extension);
    }
}

void applyNames(Options& options, std::string_view text) {
    std::string error;
    options.names = NameTemplate::parse(text, &error);
    if (!options.names)
        throw UsageError { error };
}

void requireFolder(std::string_view option, std::string_view value) {
    if (value.empty())
        throw UsageError { std::string(option) + " needs a folder, as in " + std::string(option)
            + "FOLDER" };
}

// Flags first; then longer names before shorter ones that begin alike (-dpihor before -d...).
const std::vector<OptionRule>& optionTable() {
    static const std::vector<OptionRule> table = {
        { "-prop", Shape::Flag, [](Options& o, auto) { o.keepProportions = true; } },
        { "-ov", Shape::Flag, [](Options& o, auto) { o.overwrite = true; } },
        { "-remsrc", Shape::Flag, [](Options& o, auto) { o.removeSources = true; } },
        { "-sortlstAZ", Shape::Flag, [](Options& o, auto) { o.sortAZ = true; } },
        { "-sm1", Shape::Flag, [](Options&, auto) {} },
        { "-nodlg", Shape::Flag, [](Options&, auto) {} },
        { "s=", Shape::Attached,
            [](Options& o, std::string_view v) {
                requireFolder("s=", v);
                o.sourceFolder = v;
            } },
        { "d=", Shape::Attached,
            [](Options& o, std::string_view v) {
                requireFolder("d=", v);
                o.destinationFolder = v;
            } },
        { "-namegen=", Shape::Attached, applyNames },
        { "-sizeto", Shape::Parenthesized, applySizeTo },
        { "-exclude", Shape::Parenthesized, applyExclude },
        { "-dpihor", Shape::Attached,
            [](Options& o, std::string_view v) {
                o.dpiHorizontal = readInRange("-dpihor", v, 1, MaxDpi, "dots per inch");
            } },
        { "-dpiver", Shape::Attached,
            [](Options& o, std::string_view v) {
                o.dpiVertical = readInRange("-dpiver", v, 1, MaxDpi, "dots per inch");
            } },
        { "-w", Shape::Attached,
            [](Options& o, std::string_view v) { o.width = readSide("-w", v); } },
        { "-h", Shape::Attached,
            [](Options& o, std::string_view v) { o.height = readSide("-h", v); } },
        { "-q", Shape::Attached,
            [](Options& o, std::string_view v) {
                o.quality = readInRange("-q", v, 1, 100, "a JPEG quality");
            } },
    };
    return table;
}

// Applies the rule that matches `arg`; false when none does.
bool applyOption(Options& options, std::string_view arg) {
    for (const OptionRule& rule : optionTable()) {
        switch (rule.shape) {
        case Shape::Flag:
            if (equalIgnoringCase(arg, rule.name)) {
                rule.apply(options, {});
                return true;
            }
            break;
        case Shape::Attached:
            if (startsWithIgnoringCase(arg, rule.name)) {
                rule.apply(options, arg.substr(rule.name.size()));
                return true;
            }
            break;
        case Shape::Parenthesized:
            if (startsWithIgnoringCase(arg, rule.name)) {
                std::string_view rest = arg.substr(rule.name.size());
                if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
                    throw UsageError { std::string(rule.name) + " needs its values in (), as in "
                        + std::string(rule.name)
                        + (rule.name == "-sizeto" ? "(-1;-1;300;400)" : "(db)") + ", got "
                        + base::inQuotes(arg) };
                rule.apply(options, rest.substr(1, rest.size() - 2));
                return true;
            }
            break;
        }
    }
    return false;
}

// The message on one line whatever an argument held: control characters written as \xNN.
std::string printable(std::string_view text) {
    std::string shown;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            const char digits[] = "0123456789abcdef";
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 0xf];
        } else {
            shown += c;
        }
    }
    return shown;
}

void printHelp(std::ostream& out) {
    out << "Usage: lumabatch s=SOURCE d=DESTINATION [options]\n"
           "Converts every image directly in SOURCE to a JPEG in DESTINATION.\n"
           "Folders are host paths (/photos) or Windows-style paths (c:\\windows\\pxwtemp01)\n"
           "mapped through the drive table of $PIXELWAIN_PREFIX (default ~/.pixelwain).\n"
           "\n"
           "  s=FOLDER            folder of the source images (must exist)\n"
           "  d=FOLDER            folder of the outputs (created when missing)\n"
           "  -wN  -hN            box of N pixels (1 to 5000); a missing side has no limit\n"
           "  -sizeto(A;B;W;H)    the same box as -wW -hH; -1 means no limit (A, B unused)\n"
           "  -prop               keep proportions: fit inside the box, smaller or larger;\n"
           "                      without it the output is exactly W x H (when both are given)\n"
           "  -qN                 JPEG quality 1 to 100 (default 90)\n"
           "  -namegen=TEMPLATE   output names: TEXT[counterN;S]TEXT.jpg; the outputs are\n"
           "                      numbered from S, zero-filled to N digits (more when needed);\n"
           "                      default: each source's own name with .jpg\n"
           "  -sortlstAZ          number the sources in A to Z order as the desktop lists names:\n"
           "                      the user's language, letter case ignored (default: order\n"
           "                      of the names' bytes)\n"
           "  -exclude(EXT;...)   leave files with these extensions alone, e.g. -exclude(db)\n"
           "  -ov                 replace existing outputs (without it they are kept)\n"
           "  -remsrc             remove each source once its output is in place\n"
           "  -dpihorN -dpiverN   resolution written into the outputs\n"
           "  -sm1 -nodlg         accepted; the tool never asks questions\n"
           "  --time-limit SECONDS  give up a file that takes longer (default 60)\n"
           "  --help              this text\n"
           "\n"
           "Reads JPEG, GIF, TIFF, PNG, PSD, BMP, Photo CD, JPEG 2000, MacPaint, WebP and\n"
           "HEIF. Outputs are upright, sRGB, flattened on white, baseline JPEG.\n"
           "Images are read in separate, sandboxed processes: a file that crashes its reader,\n"
           "takes too long or needs too much memory is reported and the others go on. What\n"
           "libvips cannot read is tried with ImageMagick before it counts as failed.\n"
           "Each reader runs with no capabilities (as the user nobody when started by root),\n"
           "only the system calls image reading needs (no sockets, no other processes), none\n"
           "of the tool's open files or environment beyond the locale, and no access to\n"
           "files but its libraries and its own temporary folder (through Landlock, or where\n"
           "the kernel has none, a user namespace of its own; else the tool says so).\n"
           "\n"
           "With PIXELWAIN_SHOW set to a show state other than 0 (as Pixelwain sets it) and a\n"
           "display, a progress window with a Cancel button is shown during the run; on a\n"
           "terminal a progress bar is drawn instead. Cancel, Ctrl+C and SIGTERM stop the run:\n"
           "images in flight are abandoned, the outputs finished by then are kept.\n"
           "\n"
           "Exit status: 0 all done, 1 some files failed, 2 nothing done, 3 cancelled.\n";
}

} // namespace

ParseResult parseCommandLine(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-help" || arg == "-?" || arg == "/?") {
            printHelp(out);
            return ExitStatus::AllDone;
        }
    }
    Options options;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "--time-limit") {
                if (i + 1 == args.size())
                    throw UsageError { "--time-limit needs a number of seconds" };
                options.timeLimitSeconds
                    = readInRange("--time-limit", args[++i], 1, MaxTimeLimit, "seconds");
            } else if (!applyOption(options, arg)) {
                throw UsageError { "unknown option " + base::inQuotes(arg) };
            }
        }
        if (options.sourceFolder.empty())
            throw UsageError { "no source folder; give one as s=FOLDER" };
        if (options.destinationFolder.empty())
            throw UsageError { "no destination folder; give one as d=FOLDER" };
    } catch (const UsageError& error) {
        err << "lumabatch: error: " << printable(error.message) << "; try --help\n";
        return ExitStatus::NothingDone;
    }
    return options;
}

} // namespace pxw::lumabatch
