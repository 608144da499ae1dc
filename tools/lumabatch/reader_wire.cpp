#include "reader_wire.h"

#include "base/text.h"
#include "lumabatch/inside/wire_format.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>

namespace pxw::lumabatch {

bool sendRequest(int channel, const WorkerRequest& request, int sourceFd) {
    RequestMessage sent;
    WireRequest& wireRequest = sent.wireRequest;
    const ConvertSettings& s = request.settings;
    wireRequest.width = wire(s.width);
    wireRequest.height = wire(s.height);
    wireRequest.keepProportions = s.keepProportions ? 1 : 0;
    wireRequest.quality = s.quality;
    wireRequest.dpiHorizontal = wire(s.dpiHorizontal);
    wireRequest.dpiVertical = wire(s.dpiVertical);
    std::memcpy(wireRequest.magickFormat, request.magickFormat.data(),
        std::min(request.magickFormat.size(), MaxFormat));

    cmsghdr* header = CMSG_FIRSTHDR(&sent.message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &sourceFd, sizeof(int));
    ssize_t written;
    do
        written = ::sendmsg(channel, &sent.message, MSG_NOSIGNAL);
    while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(sizeof wireRequest);
}

DecodedReply takeReply(std::string& received, const ReplyLimits& limits) {
    using Kind = DecodedReply::Kind;
    WireReplyHeader header {};
    if (received.size() < sizeof header)
        return {};
    std::memcpy(&header.outcome, received.data() + offsetof(WireReplyHeader, outcome),
        sizeof header.outcome);
    std::memcpy(
        &header.length, received.data() + offsetof(WireReplyHeader, length), sizeof header.length);
    std::uint64_t most = 0;
    switch (static_cast<WorkerOutcome>(header.outcome)) {
    case WorkerOutcome::Ready:
        most = limits.readyExpected ? MaxReadyBytes : 0;
        if (!limits.readyExpected)
            return { Kind::Damaged, {} };
        break;
    case WorkerOutcome::Converted:
        most = limits.jpegBytes;
        if (limits.readyExpected || most == 0)
            return { Kind::Damaged, {} };
        break;
    case WorkerOutcome::Unsupported:
    case WorkerOutcome::Failed:
        most = MaxReasonBytes;
        if (limits.readyExpected)
            return { Kind::Damaged, {} };
        break;
    default:
        return { Kind::Damaged, {} };
    }
    if (header.length > most)
        return { Kind::Damaged, {} };
    if (received.size() - sizeof header < header.length)
        return {};
    DecodedReply decoded { Kind::Reply,
        { static_cast<WorkerOutcome>(header.outcome),
            received.substr(sizeof header, header.length) } };
    const std::string& message = decoded.reply.message;
    const bool wellFormed = decoded.reply.outcome == WorkerOutcome::Ready
        ? std::all_of(message.begin(), message.end(), [](char c) { return c >= '0' && c <= '9'; })
        : decoded.reply.outcome == WorkerOutcome::Converted || base::printable(message) == message;
    if (!wellFormed)
        return { Kind::Damaged, {} };
    received.erase(0, sizeof header + header.length);
    return decoded;
}

} // namespace pxw::lumabatch
