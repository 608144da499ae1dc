// The tool's decoder of what a reader sends, on any bytes: a reader running hostile code can
// send anything. Every reply that comes out keeps to its limits; the decoder never reads out of
// bounds, and the bytes it keeps never outgrow one reply.

#include "base/text.h"
#include "fuzz_check.h"
#include "reader_wire.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace pxw::lumabatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte sets the limits: whether a "ready" is due, and the largest JPEG.
    ReplyLimits limits { static_cast<std::uint64_t>(data[0] >> 1) * 16, (data[0] & 1) != 0 };
    std::string received(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (;;) {
        const std::size_t before = received.size();
        const DecodedReply decoded = takeReply(received, limits);
        if (decoded.kind != DecodedReply::Kind::Reply) {
            PXW_FUZZ_CHECK(received.size() == before);
            return 0;
        }
        PXW_FUZZ_CHECK(received.size() < before);
        const std::string& message = decoded.reply.message;
        switch (decoded.reply.outcome) {
        case WorkerOutcome::Ready:
            PXW_FUZZ_CHECK(limits.readyExpected && message.size() <= MaxReadyBytes);
            PXW_FUZZ_CHECK(std::all_of(
                message.begin(), message.end(), [](char c) { return c >= '0' && c <= '9'; }));
            break;
        case WorkerOutcome::Converted:
            PXW_FUZZ_CHECK(!limits.readyExpected && message.size() <= limits.jpegBytes);
            break;
        case WorkerOutcome::Unsupported:
        case WorkerOutcome::Failed:
            PXW_FUZZ_CHECK(message.size() <= MaxReasonBytes);
            PXW_FUZZ_CHECK(pxw::base::printable(message) == message);
            break;
        default:
            PXW_FUZZ_CHECK(false);
        }
        limits.readyExpected = false;
    }
}
