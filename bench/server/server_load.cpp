// Load on a running pellow-server: TABLES tables of four bot seats over loopback, each seat its
// own WebSocket, playing whole matches at once. Prints how long a played card takes to reach the
// last of the four seats (from the moment its player sends it), the errors, and what was lost or
// told twice. The server's memory is measured from outside (run_load.sh).
//   server_load --server ws://127.0.0.1:PORT --tables N [--think-ms MS] [--seed S]
// A seat answers its turn after a draw from MS/2 to 3*MS/2 milliseconds (at once for 0).
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "net/protocol.hpp"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using namespace pellow;

struct Figures {
    std::vector<double> millis;
    long errors = 0, lost = 0, twice = 0, matches = 0, cards = 0, refusedConnections = 0;
};

struct Table;

class Seat : public std::enable_shared_from_this<Seat> {
public:
    Seat(asio::io_context& io, Table& table, int index) : table_(table), index_(index), ws_(io), think_(io) {}
    void Start(const tcp::endpoint& at, std::string first);
    void Send(std::string text) {
        queue_.push_back(std::move(text));
        if (queue_.size() == 1) Write();
    }

private:
    void Read();
    void Write() {
        ws_.async_write(asio::buffer(queue_.front()), [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec) return;
            self->queue_.pop_front();
            if (!self->queue_.empty()) self->Write();
        });
    }
    void Handle(const net::ServerMessage& m);
    void Played(int card);

    Table& table_;
    int index_;
    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::string> queue_;
    asio::steady_timer think_;
    // Cards this seat was told played in the deal in play, to find the lost and the doubled.
    std::set<int> seen_;
    int deal_ = 0;
    bool done_ = false;
};

struct Table {
    Figures* figures = nullptr;
    tcp::endpoint at;
    int thinkMillis = 0;
    std::mt19937 random{1};
    std::vector<std::shared_ptr<Seat>> seats;
    std::string code;
    int done = 0;
    // A card sent and how many seats have been told of it.
    std::map<int, std::pair<Clock::time_point, int>> inFlight;
    std::function<void()> onDone;
};

void Seat::Start(const tcp::endpoint& at, std::string first) {
    beast::get_lowest_layer(ws_).async_connect(at, [self = shared_from_this(), first](beast::error_code ec) {
        if (ec) return ++self->table_.figures->refusedConnections, void();
        beast::error_code ignored;
        beast::get_lowest_layer(self->ws_).socket().set_option(tcp::no_delay(true), ignored);
        self->ws_.async_handshake("127.0.0.1", "/", [self, first](beast::error_code ec2) {
            if (ec2) return ++self->table_.figures->refusedConnections, void();
            self->ws_.text(true);
            self->Send(first);
            self->Read();
        });
    });
}

void Seat::Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec) {
            if (!self->done_) ++self->table_.figures->lost;
            return;
        }
        const std::string text = beast::buffers_to_string(self->buffer_.data());
        self->buffer_.consume(self->buffer_.size());
        // The load generator shares the machine with the server: the messages it gets most, a
        // card played and another seat's turn, are read without a JSON parser.
        if (text.find("\"type\":\"played\"") != std::string::npos) {
            const auto at = text.find("\"card\":");
            int card = -1;
            if (at != std::string::npos) std::from_chars(text.data() + at + 7, text.data() + text.size(), card);
            self->Played(card);
        } else if (text.find("\"type\":\"turn\"") == std::string::npos || text.find("\"legal\"") != std::string::npos) {
            std::string why;
            if (const auto m = net::ParseServerMessage(text, &why)) self->Handle(*m);
            else ++self->table_.figures->errors;
        }
        if (!self->done_) self->Read();
    });
}

void Seat::Played(int card) {
    Table& t = table_;
    if (card < 0 || card > 51) return ++t.figures->errors, void();
    if (!seen_.insert(card).second) ++t.figures->twice;
    auto it = t.inFlight.find(deal_ * 64 + card);
    if (it != t.inFlight.end() && ++it->second.second == 4) {
        t.figures->millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - it->second.first).count());
        t.inFlight.erase(it);
    }
}

void Seat::Handle(const net::ServerMessage& m) {
    Table& t = table_;
    const json& o = m.body;
    if (m.type == "error") ++t.figures->errors;
    if (m.type == "welcome" && o.contains("code")) {
        t.code = o["code"];
        for (int i = 1; i < 4; ++i) t.seats[i]->Start(t.at, net::Encode(net::Join{t.code, "bot", i}));
    }
    if (m.type == "table" && index_ == 0 && !o["started"].get<bool>()) {
        bool full = true;
        for (const json& s : o["seats"]) full = full && s["kind"] == "person";
        if (full) Send(net::Encode(net::Start{}));
    }
    if (m.type == "deal") seen_.clear(), ++deal_;
    if (m.type == "deal_end" && seen_.size() != 52) t.figures->lost += 52 - static_cast<long>(seen_.size());
    if (m.type == "turn" && o.contains("legal")) {
        const auto& legal = o["legal"];
        const int card = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(t.random)];
        auto play = [self = shared_from_this(), card] {
            self->table_.inFlight[self->deal_ * 64 + card] = {Clock::now(), 0};
            ++self->table_.figures->cards;
            self->Send(net::Encode(net::Play{card}));
        };
        if (t.thinkMillis <= 0) return play();
        // Players take their time, each its own: from half to one and a half times the figure.
        think_.expires_after(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(t.thinkMillis / 2, t.thinkMillis * 3 / 2)(t.random)));
        think_.async_wait([play](beast::error_code ec) {
            if (!ec) play();
        });
    }
    if (m.type == "match_end") {
        done_ = true;
        if (++t.done == 4) {
            ++t.figures->matches;
            if (t.onDone) t.onDone();
        }
    }
}

double Percentile(std::vector<double>& v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    std::string port = "7427";
    int tables = 100, think = 0;
    unsigned seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--server") port = value.substr(value.rfind(':') + 1);
        else if (arg == "--tables") tables = std::stoi(value);
        else if (arg == "--think-ms") think = std::stoi(value);
        else if (arg == "--seed") seed = static_cast<unsigned>(std::stoul(value));
    }
    asio::io_context io(1);
    const tcp::endpoint at(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(std::stoi(port)));
    Figures figures;
    std::vector<std::unique_ptr<Table>> all;
    int finished = 0;
    const auto begin = Clock::now();
    // Tables open a few at a time so the server's accept queue never overflows.
    asio::steady_timer opener(io);
    int opened = 0;
    std::function<void()> open = [&] {
        for (int k = 0; k < 50 && opened < tables; ++k, ++opened) {
            auto t = std::make_unique<Table>();
            t->figures = &figures;
            t->at = at;
            t->thinkMillis = think;
            t->random.seed(seed + static_cast<unsigned>(opened));
            for (int s = 0; s < 4; ++s) t->seats.push_back(std::make_shared<Seat>(io, *t, s));
            t->onDone = [&] { ++finished; };
            t->seats[0]->Start(at, net::Encode(net::Create{0, "bot", net::Level::Rules, 0}));
            all.push_back(std::move(t));
        }
        if (opened < tables) {
            opener.expires_after(std::chrono::milliseconds(20));
            opener.async_wait([&](beast::error_code) { open(); });
        }
    };
    open();
    io.run();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    std::printf("tables: %d, matches finished: %ld, cards played: %ld in %.1f s (%.0f a second)\n", tables, figures.matches,
                figures.cards, seconds, static_cast<double>(figures.cards) / seconds);
    std::printf("card sent to the last seat told: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu cards)\n",
                Percentile(figures.millis, 0.5), Percentile(figures.millis, 0.99), Percentile(figures.millis, 1.0),
                figures.millis.size());
    std::printf("errors: %ld, lost: %ld, told twice: %ld, connections refused: %ld\n", figures.errors, figures.lost,
                figures.twice, figures.refusedConnections);
    return figures.errors || figures.lost || figures.twice || figures.matches != tables ? 1 : 0;
}
