// Fuzz target for the table protocol's readers: what a client sends the server (the first byte
// says whether it is the connection's first message) and what the server sends a client, taken
// into the seat's copy of the deal. Any input is refused with a reason or taken; a finding is a
// crash, a refusal without a reason, a message taken that does not read back the same, or a
// copy of the deal whose bookkeeping no longer adds up.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "net/protocol.hpp"
#include "net/remote_deal.hpp"

using pellow::fuzz::Finding;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] < 128) {
        const auto parsed = pellow::net::ParseClientMessage(text, data[0] % 2 == 0);
        if (const auto* refusal = std::get_if<pellow::net::Refusal>(&parsed)) {
            if (refusal->detail.empty()) Finding("a refusal without a reason");
            return 0;
        }
        const std::string again = pellow::net::Encode(std::get<pellow::net::ClientMessage>(parsed));
        const auto reread = pellow::net::ParseClientMessage(again, true);
        if (!std::holds_alternative<pellow::net::ClientMessage>(reread) ||
            pellow::net::Encode(std::get<pellow::net::ClientMessage>(reread)) != again)
            Finding("a message taken does not read back the same");
        return 0;
    }
    // Server messages, one a line, into seat (first byte) % 4's copy.
    pellow::net::RemoteDeal copy(data[0] % 4);
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string why;
        if (const auto m = pellow::net::ParseServerMessage(text.substr(at, end - at), &why)) copy.Apply(*m, &why);
        const pellow::DealState& d = copy.Deal();
        int cards = d.trickCount + d.takenCount[0] + d.takenCount[1];
        for (int seat = 0; seat < 4; ++seat) cards += d.handCount[seat];
        if (copy.InPlay() && (cards > 52 || d.handCount[copy.Seat()] > 13)) Finding("the copy holds more than a deck");
        at = end + 1;
    }
    return 0;
}
