// pellow-server: tables of Pellow over a WebSocket. See docs/PROTOCOL.md and the guide's
// "Playing over the network".
#include <sys/resource.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "server/websocket_server.hpp"

namespace {

bool ReadNumber(std::string_view text, long long lo, long long hi, long long& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= lo && out <= hi;
}

int Usage(const std::string& why) {
    std::cerr << "pellow-server: " << why << "\n"
              << "usage: pellow-server [--listen ADDRESS:PORT] [--max-tables N] [--max-connections N]\n"
                 "                     [--max-per-address N] [--tls-cert FILE --tls-key FILE] [--seed S]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    pellow::server::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") return Usage("serves tables of Pellow"), 0;
        if (i + 1 >= argc) return Usage(arg + " needs a value");
        const std::string value = argv[++i];
        long long n = 0;
        if (arg == "--listen") {
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || !ReadNumber(std::string_view(value).substr(colon + 1), 0, 65535, n))
                return Usage("--listen takes ADDRESS:PORT");
            options.address = value.substr(0, colon);
            if (options.address.size() > 2 && options.address.front() == '[') options.address = options.address.substr(1, options.address.size() - 2);
            options.port = static_cast<unsigned short>(n);
        } else if (arg == "--max-tables" && ReadNumber(value, 1, 1'000'000, n)) {
            options.limits.maxTables = static_cast<int>(n);
        } else if (arg == "--max-connections" && ReadNumber(value, 1, 1'000'000, n)) {
            options.limits.maxConnections = static_cast<int>(n);
        } else if (arg == "--max-per-address" && ReadNumber(value, 1, 1'000'000, n)) {
            options.limits.connectionsPerAddress = static_cast<int>(n);
        } else if (arg == "--seed" && ReadNumber(value, 1, 1LL << 62, n)) {
            options.seed = static_cast<std::uint64_t>(n);
        } else if (arg == "--tls-cert") {
            options.tlsCert = value;
        } else if (arg == "--tls-key") {
            options.tlsKey = value;
        } else {
            return Usage("unknown option or bad value: " + arg + " " + value);
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) return Usage("--tls-cert and --tls-key go together");
    // Each connection is a file: take what the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    try {
        pellow::server::RunServer(options, [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellow-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
