#include "codes.hpp"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace pellow::net {
namespace {

constexpr std::string_view kAlphabet = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int kInviteSymbols = 16;
constexpr int kTokenSymbols = 26;

void FillRandom(unsigned char* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = getrandom(out + done, size - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            // Without the kernel's generator no secret can be made; a guessable one is worse.
            throw std::runtime_error("the system's random generator failed");
        }
        done += static_cast<std::size_t>(got);
    }
}

// `symbols` symbols of five random bits each.
std::string RandomSymbols(int symbols) {
    std::array<unsigned char, 32> bytes{};
    FillRandom(bytes.data(), static_cast<std::size_t>(symbols));
    std::string out;
    for (int i = 0; i < symbols; ++i) out += kAlphabet[bytes[static_cast<std::size_t>(i)] & 31];
    return out;
}

int SymbolValue(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == 'O') c = '0';
    if (c == 'I' || c == 'L') c = '1';
    const auto at = kAlphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string NewInviteCode() {
    const std::string s = RandomSymbols(kInviteSymbols);
    return s.substr(0, 4) + '-' + s.substr(4, 4) + '-' + s.substr(8, 4) + '-' + s.substr(12, 4);
}

std::string NewRejoinToken() { return RandomSymbols(kTokenSymbols); }

std::optional<std::string> CanonicalInviteCode(std::string_view typed) {
    // Longer than any sensible spelling of sixteen symbols: refused before it is looked at.
    if (typed.size() > 64) return std::nullopt;
    std::string symbols;
    for (const char c : typed) {
        if (c == '-' || c == ' ') continue;
        const int v = SymbolValue(c);
        if (v < 0 || symbols.size() >= kInviteSymbols) return std::nullopt;
        symbols += kAlphabet[static_cast<std::size_t>(v)];
    }
    if (symbols.size() != kInviteSymbols) return std::nullopt;
    return symbols.substr(0, 4) + '-' + symbols.substr(4, 4) + '-' + symbols.substr(8, 4) + '-' + symbols.substr(12, 4);
}

float SystemRandom::Rnd() {
    if (left_ == 0) {
        FillRandom(reinterpret_cast<unsigned char*>(buffer_), sizeof buffer_);
        left_ = 64;
    }
    // 24 bits, as MersenneRandom draws them: never 1.0.
    return static_cast<float>(buffer_[--left_] >> 8) * (1.0f / 16777216.0f);
}

bool WellFormedToken(std::string_view token) {
    if (token.size() != kTokenSymbols) return false;
    for (const char c : token)
        if (kAlphabet.find(c) == std::string_view::npos) return false;
    return true;
}

}  // namespace pellow::net
