#pragma once

#include "lumabatch/inside/worker_channel.h"

#include <cstdint>
#include <string>

namespace pxw::lumabatch {

// The tool's end of the channel to its readers: it sends requests, and trusts no reply it has
// not checked. The readers' end is lumabatch/inside/worker_channel.h.

/// Sends a request and the descriptor over a local stream socket. False when the worker is gone.
bool sendRequest(int channel, const WorkerRequest& request, int sourceFd);

/// What a reply may hold (see MaxReasonBytes and MaxReadyBytes).
struct ReplyLimits {
    std::uint64_t jpegBytes = 0; ///< the largest JPEG expected; 0: no JPEG is
    bool readyExpected = false; ///< a reader says it is ready once, before anything else
};

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
