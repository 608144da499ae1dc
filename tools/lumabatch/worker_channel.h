#pragma once

#include "convert_settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pxw::lumabatch {

/// Argument that starts a reader program as the tool's worker, and the descriptor of its
/// channel to the tool.
inline constexpr const char* WorkerArgument = "--image-reader-worker";
/// Argument that starts a reader program as the starter of the tool's workers: it forks one
/// for each channel the tool sends it, and replies with the worker's process number.
inline constexpr const char* WorkerStarterArgument = "--image-reader-starter";
/// The worker's last argument when every file of the batch is one libvips reads by itself.
inline constexpr const char* WithoutModulesArgument = "--without-modules";
inline constexpr int WorkerChannelFd = 3;

/// One image to convert: sent with the open source file's descriptor.
struct WorkerRequest {
    ConvertSettings settings;
    std::string magickFormat; ///< empty: libvips reads it; else ImageMagick, as this format
};

enum class WorkerOutcome : std::int32_t {
    Ready, ///< the worker has started; sent once, before any request is read
    Converted, ///< the message is the JPEG
    Unsupported, ///< the reader cannot read this kind of file; the message says why
    Failed, ///< the file is damaged or not an image; the message says why
};

struct WorkerReply {
    WorkerOutcome outcome = WorkerOutcome::Failed;
    std::string message;
};

/// Sends a request and the descriptor over a local stream socket. False when the worker is gone.
bool sendRequest(int channel, const WorkerRequest& request, int sourceFd);
/// Blocks until a request arrives; no value once the tool has closed the channel.
std::optional<WorkerRequest> receiveRequest(int channel, int* sourceFd);

/// Sends a reply (blocking); a reason is sent printable and cut to MaxReasonBytes.
bool sendReply(int channel, const WorkerReply& reply);

/// What a reply may hold. A reason is short, printable text.
struct ReplyLimits {
    std::uint64_t jpegBytes = 0; ///< the largest JPEG expected; 0: no JPEG is
    bool readyExpected = false; ///< a reader says it is ready once, before anything else
};
inline constexpr std::size_t MaxReasonBytes = 1024;
/// The starter's "ready" carries the new worker's process number, and nothing else.
inline constexpr std::size_t MaxReadyBytes = 10;

/// One reply taken from the bytes a reader sent, each checked against the limits.
struct DecodedReply {
    enum class Kind {
        Incomplete, ///< more bytes are needed
        Reply, ///< `reply` holds it
        Damaged, ///< the bytes break the rules: the reader is not to be trusted any more
    };
    Kind kind = Kind::Incomplete;
    WorkerReply reply;
};

/// Takes the first reply out of `received`. A reply is judged as soon as its header is in, so a
/// length past the limits is refused before its bytes are waited for.
DecodedReply takeReply(std::string& received, const ReplyLimits& limits);

} // namespace pxw::lumabatch
