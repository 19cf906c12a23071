// pellow-client: a headless player for tests, benchmarks and scripts. It opens or joins a table
// on a pellow-server, plays its seat with a bot that knows only what the seat is told, and exits
// 0 when the match ends, or non-zero with a one-line reason.
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/protocol.hpp"
#include "net/remote_deal.hpp"
#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;
using namespace pellow;

enum class Bot { Rules, Expert, Random };

struct Options {
    std::string host = "127.0.0.1", port = "7427", path = "/";
    bool create = false;
    std::vector<int> computerSeats;
    net::Level level = net::Level::Rules;
    std::string join;
    int seat = -1;
    Bot bot = Bot::Rules;
    std::string record;
    int leaveAfterTricks = -1;
    bool rejoin = false;
    std::string name = "bot";
    std::uint32_t seed = 1;
    int turnSeconds = 0;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "pellow-client: %s\n", why.c_str());
    std::exit(1);
}

int Number(const std::string& text, int lo, int hi, const char* what) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < lo || n > hi)
        Fail(std::string(what) + " takes a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return n;
}

Options ReadOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--server") {
            std::string url = value();
            if (url.rfind("ws://", 0) != 0) Fail("--server takes ws://HOST:PORT[/PATH]");
            url = url.substr(5);
            const auto slash = url.find('/');
            if (slash != std::string::npos) o.path = url.substr(slash), url = url.substr(0, slash);
            const auto colon = url.rfind(':');
            if (colon == std::string::npos) Fail("--server needs a port");
            o.host = url.substr(0, colon);
            o.port = url.substr(colon + 1);
        } else if (arg == "--create") {
            o.create = true;
        } else if (arg == "--computer-seats") {
            const std::string list = value();
            for (std::size_t at = 0; at <= list.size();) {
                const auto comma = std::min(list.find(',', at), list.size());
                o.computerSeats.push_back(Number(list.substr(at, comma - at), 0, 3, "--computer-seats"));
                at = comma + 1;
            }
        } else if (arg == "--level") {
            const std::string v = value();
            if (v != "rules" && v != "expert") Fail("--level is rules or expert");
            o.level = v == "expert" ? net::Level::Expert : net::Level::Rules;
        } else if (arg == "--join") {
            o.join = value();
        } else if (arg == "--seat") {
            o.seat = Number(value(), 0, 3, "--seat");
        } else if (arg == "--bot") {
            const std::string v = value();
            if (v == "rules") o.bot = Bot::Rules;
            else if (v == "expert") o.bot = Bot::Expert;
            else if (v == "random") o.bot = Bot::Random;
            else Fail("--bot is rules, expert or random");
        } else if (arg == "--record") {
            o.record = value();
        } else if (arg == "--leave-after-tricks") {
            o.leaveAfterTricks = Number(value(), 0, 10000, "--leave-after-tricks");
        } else if (arg == "--rejoin") {
            o.rejoin = true;
        } else if (arg == "--name") {
            o.name = value();
        } else if (arg == "--seed") {
            o.seed = static_cast<std::uint32_t>(Number(value(), 0, 1 << 30, "--seed"));
        } else if (arg == "--turn-seconds") {
            o.turnSeconds = Number(value(), 0, net::kMaxTurnSeconds, "--turn-seconds");
        } else {
            Fail("unknown option " + arg);
        }
    }
    if (o.create == !o.join.empty()) Fail("say --create or --join CODE");
    return o;
}

class Client {
public:
    explicit Client(const Options& o) : o_(o), random_(o.seed), expert_(o.seed) {
        if (!o.record.empty()) {
            record_.open(o.record, std::ios::trunc);
            if (!record_) Fail("cannot write " + o.record);
        }
    }

    void Run() {
        Connect();
        Send(o_.create ? net::Encode(net::Create{o_.seat < 0 ? 0 : o_.seat, o_.name, net::Level::Rules, o_.turnSeconds})
                       : net::Encode(net::Join{o_.join, o_.name, o_.seat}));
        Loop();
    }

private:
    void Connect() {
        try {
            tcp::resolver resolver(io_);
            ws_.emplace(io_);
            beast::get_lowest_layer(*ws_).expires_after(std::chrono::seconds(10));
            beast::get_lowest_layer(*ws_).connect(resolver.resolve(o_.host, o_.port));
            beast::get_lowest_layer(*ws_).expires_never();
            // Pings while nothing comes, and a server that answers none for 30 s is gone.
            websocket::stream_base::timeout timeout{};
            timeout.handshake_timeout = std::chrono::seconds(10);
            timeout.idle_timeout = std::chrono::seconds(30);
            timeout.keep_alive_pings = true;
            ws_->set_option(timeout);
            ws_->read_message_max(net::kMaxMessageBytes);
            ws_->handshake(o_.host + ":" + o_.port, o_.path);
            ws_->text(true);
        } catch (const std::exception& e) {
            Fail(std::string("cannot reach the server: ") + e.what());
        }
    }

    void Send(const std::string& text) {
        beast::error_code ec;
        ws_->write(asio::buffer(text), ec);
        if (ec) Fail("the server is gone (" + ec.message() + ")");
    }

    // Reads until the match ends; a read waits at most as long as the pings allow.
    void Loop() {
        for (;;) {
            beast::flat_buffer buffer;
            beast::error_code ec;
            bool done = false;
            ws_->async_read(buffer, [&](beast::error_code e, std::size_t) { ec = e, done = true; });
            io_.restart();
            while (!done && io_.run_one()) {
            }
            if (ec) {
                if (ec == websocket::error::closed) Fail("the server closed the connection");
                Fail("the server is gone (" + ec.message() + ")");
            }
            const std::string text = beast::buffers_to_string(buffer.data());
            if (record_.is_open()) record_ << text << '\n' << std::flush;
            std::string why;
            const auto message = net::ParseServerMessage(text, &why);
            if (!message) Fail(why);
            try {
                if (Handle(*message)) return;
            } catch (const nlohmann::json::exception&) {
                Fail("the server sent a malformed " + message->type + " message");
            }
        }
    }

    // True when the match is over for this client.
    bool Handle(const net::ServerMessage& m) {
        const json& o = m.body;
        std::string why;
        if (m.type == "error")
            Fail("the server refused: " + o.value("code", std::string("?")) + ": " + o.value("message", std::string()));
        if (m.type == "bye") Fail("the server said: " + o.value("reason", std::string()));
        if (m.type == "match_end") return true;
        if (m.type == "welcome") {
            if (o.value("role", std::string()) == "player") {
                seat_ = o.value("seat", -1);
                token_ = o.value("token", std::string());
                if (seat_ < 0 || seat_ > 3) Fail("the server gave no seat");
                if (!deal_ || deal_->Seat() != seat_) deal_.emplace(seat_);
            }
            if (o.contains("code") && !printed_) {
                std::printf("%s\nwatch %s\n", o["code"].get<std::string>().c_str(), o.value("watchCode", std::string()).c_str());
                std::fflush(stdout);
                printed_ = true;
                for (const int seat : o_.computerSeats)
                    Send(net::Encode(net::SetSeat{seat, net::SeatKind::Computer, o_.level}));
            }
            return false;
        }
        if (m.type == "table" && o_.create && !started_ && o.value("started", false) == false) {
            bool full = true;
            for (const json& s : o["seats"]) full = full && (s["kind"] == "person" || s["kind"] == "computer");
            if (full) Send(net::Encode(net::Start{})), started_ = true;
        }
        if (deal_ && !deal_->Apply(m, &why)) Fail("the server's messages do not add up: " + why);
        if (m.type == "trick") {
            ++tricks_;
            if (tricks_ == o_.leaveAfterTricks) return Leave();
        }
        if (m.type == "turn" && o.contains("legal") && deal_) Play(o["legal"]);
        return false;
    }

    void Play(const json& legal) {
        if (!legal.is_array() || legal.empty()) Fail("the server offered no card");
        const DealState& d = deal_->Deal();
        int card = -1;
        if (o_.bot == Bot::Random) {
            card = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(random_)];
        } else {
            DealState mine = d;
            if (o_.bot == Bot::Expert) {
                if (FirstLeadOfDeal(mine)) mine.trumps = static_cast<std::int8_t>(expert_.ChooseTrump(mine, seat_));
                card = expert_.ChooseCard(mine, seat_);
            } else {
                if (FirstLeadOfDeal(mine)) mine.trumps = static_cast<std::int8_t>(rules_.ChooseTrump(mine, seat_));
                card = rules_.ChooseCard(mine, seat_);
            }
        }
        bool offered = false;
        for (const json& c : legal) offered = offered || c == card;
        // The server's offer is the rule; a copy out of step plays the first card offered.
        if (!offered) card = legal[0];
        Send(net::Encode(net::Play{card}));
    }

    // Drops the connection as a closed lid would; with --rejoin, comes back with the token.
    bool Leave() {
        beast::error_code ec;
        beast::get_lowest_layer(*ws_).socket().shutdown(tcp::socket::shutdown_both, ec);
        beast::get_lowest_layer(*ws_).close();
        if (!o_.rejoin) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Connect();
        Send(net::Encode(net::Rejoin{token_}));
        return false;
    }

    const Options& o_;
    asio::io_context io_;
    std::optional<websocket::stream<beast::tcp_stream>> ws_;
    std::ofstream record_;
    std::optional<net::RemoteDeal> deal_;
    std::mt19937 random_;
    ExpertPlayer expert_;
    RulesPlayer rules_;
    int seat_ = -1;
    std::string token_;
    bool printed_ = false, started_ = false;
    int tricks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = ReadOptions(argc, argv);
    Client(options).Run();
    return 0;
}
