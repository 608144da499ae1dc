#include "worker_channel.h"

#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace pxw::lumabatch {

namespace {

constexpr int NoValue = -1;
constexpr std::size_t MaxFormat = 15;

// The request as it travels: plain numbers, NoValue for a missing one.
struct WireRequest {
    std::int32_t width;
    std::int32_t height;
    std::int32_t keepProportions;
    std::int32_t quality;
    std::int32_t dpiHorizontal;
    std::int32_t dpiVertical;
    char magickFormat[MaxFormat + 1];
};

struct WireReplyHeader {
    std::int32_t outcome;
    std::uint64_t length;
};

std::int32_t wire(const std::optional<int>& value) {
    return value ? *value : NoValue;
}

std::optional<int> fromWire(std::int32_t value) {
    return value == NoValue ? std::nullopt : std::optional<int>(value);
}

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

// A request travels as one message: the settings, and the source's descriptor beside them.
struct RequestMessage {
    WireRequest wireRequest {};
    iovec part { &wireRequest, sizeof wireRequest };
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] {};
    msghdr message {};

    RequestMessage() {
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    RequestMessage(const RequestMessage&) = delete;
    RequestMessage& operator=(const RequestMessage&) = delete;
};

} // namespace

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
