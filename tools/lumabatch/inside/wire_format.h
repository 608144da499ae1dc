#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/socket.h>
#include <sys/uio.h>

namespace pxw::lumabatch {

// The bytes of the channel between the tool and a reader, as both ends write and read them.

inline constexpr int NoValue = -1;
inline constexpr std::size_t MaxFormat = 15;

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

inline std::int32_t wire(const std::optional<int>& value) {
    return value ? *value : NoValue;
}

inline std::optional<int> fromWire(std::int32_t value) {
    return value == NoValue ? std::nullopt : std::optional<int>(value);
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

} // namespace pxw::lumabatch
