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
    std::string magickFormat; ///< empty: libvips reads it; else the second reader, as this format
};

/// The format libtiff reads as the second reader; every other non-empty format is
/// ImageMagick's.
inline constexpr const char* TiffFormat = "TIFF";

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

/// Blocks until a request arrives; no value once the tool has closed the channel.
std::optional<WorkerRequest> receiveRequest(int channel, int* sourceFd);

/// Sends a reply (blocking); a reason is sent printable and cut to MaxReasonBytes.
bool sendReply(int channel, const WorkerReply& reply);

/// A reason is short, printable text.
inline constexpr std::size_t MaxReasonBytes = 1024;
/// The starter's "ready" carries the new worker's process number, and nothing else.
inline constexpr std::size_t MaxReadyBytes = 10;

} // namespace pxw::lumabatch
