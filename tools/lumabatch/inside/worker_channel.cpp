#include "worker_channel.h"

#include "base/text.h"
#include "wire_format.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace pxw::lumabatch {

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::optional<WorkerRequest> receiveRequest(int channel, int* sourceFd) {
    RequestMessage received;
    WireRequest& wireRequest = received.wireRequest;
    ssize_t got;
    do
        got = ::recvmsg(channel, &received.message, MSG_CMSG_CLOEXEC | MSG_WAITALL);
    while (got < 0 && errno == EINTR);
    const cmsghdr* header = CMSG_FIRSTHDR(&received.message);
    if (got != static_cast<ssize_t>(sizeof wireRequest) || !header
        || header->cmsg_type != SCM_RIGHTS)
        return std::nullopt;
    std::memcpy(sourceFd, CMSG_DATA(header), sizeof(int));

    WorkerRequest request;
    ConvertSettings& s = request.settings;
    s.width = fromWire(wireRequest.width);
    s.height = fromWire(wireRequest.height);
    s.keepProportions = wireRequest.keepProportions != 0;
    s.quality = wireRequest.quality;
    s.dpiHorizontal = fromWire(wireRequest.dpiHorizontal);
    s.dpiVertical = fromWire(wireRequest.dpiVertical);
    wireRequest.magickFormat[MaxFormat] = '\0';
    request.magickFormat = wireRequest.magickFormat;
    return request;
}

bool sendReply(int channel, const WorkerReply& reply) {
    // A reason goes as the tool takes it: printable, and cut short (never inside a character).
    std::string reason;
    if (reply.outcome == WorkerOutcome::Unsupported || reply.outcome == WorkerOutcome::Failed) {
        reason = base::printable(reply.message);
        if (reason.size() > MaxReasonBytes) {
            reason.resize(MaxReasonBytes - 3);
            while ((static_cast<unsigned char>(reason.back()) & 0xC0) == 0x80)
                reason.pop_back();
            if (static_cast<unsigned char>(reason.back()) >= 0xC0)
                reason.pop_back();
            reason += "...";
        }
    }
    const std::string& message = reason.empty() ? reply.message : reason;
    const WireReplyHeader header { static_cast<std::int32_t>(reply.outcome), message.size() };
    return writeAll(channel, reinterpret_cast<const char*>(&header), sizeof header)
        && writeAll(channel, message.data(), message.size());
}

} // namespace pxw::lumabatch
