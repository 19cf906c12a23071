// pellow-client: a headless player for tests, benchmarks and scripts. It opens or joins a table
// on a pellow-server, plays its seat with a bot that knows only what the seat is told, and exits
// 0 when the match ends, or non-zero with a one-line reason.
//
// With --tables N it plays N whole tables of four bot seats at once instead, each seat its own
// connection, all on one thread, and prints how long a played card takes to reach the last of
// the four seats, the errors, and what was lost or told twice: the load benchmark's bots.
#include <sys/resource.h>

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "client/link.hpp"
#include "net/protocol.hpp"
#include "net/remote_deal.hpp"
#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using namespace pellow;

enum class Bot { Rules, Expert, Random };

struct Options {
    client::ServerUrl server{false, "127.0.0.1", "7427", "/"};
    std::string caFile;
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
    // The load benchmark's: tables of four bot seats, how long each waits before its card, and
    // where every card's time to its last seat goes.
    int tables = 0;
    int thinkMillis = 0;
    std::string latencies;
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
    bool botGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--server") {
            std::string why;
            const auto url = client::ReadServerUrl(value(), &why);
            if (!url) Fail(why);
            o.server = *url;
        } else if (arg == "--ca") {
            o.caFile = value();
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
            botGiven = true;
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
        } else if (arg == "--tables") {
            o.tables = Number(value(), 1, 100000, "--tables");
        } else if (arg == "--think-ms") {
            o.thinkMillis = Number(value(), 0, 600000, "--think-ms");
        } else if (arg == "--latencies") {
            o.latencies = value();
        } else {
            Fail("unknown option " + arg);
        }
    }
    if (o.tables > 0) {
        if (o.create || !o.join.empty() || !o.record.empty() || o.leaveAfterTricks >= 0 || o.rejoin || o.seat >= 0 ||
            !o.computerSeats.empty())
            Fail("--tables plays whole tables of bots: it takes --bot, --seed, --think-ms and --latencies");
        // A load of bots plays the cheapest way unless told otherwise.
        if (!botGiven) o.bot = Bot::Random;
    } else {
        if (o.create == !o.join.empty()) Fail("say --create or --join CODE (or --tables N)");
        if (o.thinkMillis > 0 || !o.latencies.empty()) Fail("--think-ms and --latencies go with --tables");
    }
    return o;
}

// What the load's seats count, all tables together.
struct Figures {
    // Each timed card's milliseconds, and when it was sent (seconds into the run).
    std::vector<double> millis, sent;
    Clock::time_point begin = Clock::now();
    long errors = 0, lost = 0, twice = 0, matches = 0, cards = 0, refused = 0;
    std::string firstError;
    // The run ends when every table is over, without waiting for the connections' last timers.
    int tables = 0, tablesOver = 0;
};

class Player;

// A table of the load: four seats in this process, so a card's way to each of them is timed here.
struct LoadTable {
    Figures* figures = nullptr;
    std::vector<std::shared_ptr<Player>> seats;
    int done = 0;
    // Seats whose connection is over, of those started: the host, and the others once it had a code.
    int over = 0;
    bool joined = false;
    // A card sent (by deal and card) and how many seats have been told of it.
    std::map<int, std::pair<Clock::time_point, int>> inFlight;
};

// What every seat of this process shares: the loop, the server's address and the TLS settings.
struct Network {
    // Before the loop, so the connections it still holds at the end go first.
    std::unique_ptr<asio::ssl::context> tls;
    asio::io_context io{1};
    client::ServerUrl url;
    tcp::resolver::results_type where;
};

// One seat: its connection, the bot that plays it and the copy of the deal the bot reads.
class Player : public std::enable_shared_from_this<Player> {
public:
    // `table` null: the program's one seat, whose end is the program's.
    Player(Network& net, const Options& o, std::uint32_t seed, LoadTable* table)
        : net_(net), o_(o), table_(table), random_(seed), expert_(seed),
          // The copy checks the server's messages as well; a load of random bots goes without.
          keepCopy_(table == nullptr || o.bot != Bot::Random) {
        if (!table && !o.record.empty()) {
            record_.open(o.record, std::ios::trunc);
            if (!record_) Fail("cannot write " + o.record);
        }
    }

    void Start(std::string first) {
        std::weak_ptr<Player> weak = weak_from_this();
        link_ = client::OpenLink(
            net_.io, net_.where, net_.url, net_.tls.get(),
            [weak] {
                if (const auto self = weak.lock()) self->opened_ = true;
            },
            [weak](std::string_view text) {
                if (const auto self = weak.lock()) self->Receive(text);
            },
            [weak](const std::string& why) {
                if (const auto self = weak.lock()) self->Ended(why);
            });
        link_->Send(std::move(first));
    }

private:
    void Receive(std::string_view text) {
        if (done_) return;
        if (record_.is_open()) record_ << text << '\n' << std::flush;
        // A load's bots share the machine with the server: the messages they get most, a card
        // played and another seat's turn, are read without a JSON parser when no copy needs them.
        if (!keepCopy_) {
            if (text.find("\"type\":\"played\"") != std::string_view::npos) {
                const auto at = text.find("\"card\":");
                int card = -1;
                if (at != std::string_view::npos) std::from_chars(text.data() + at + 7, text.data() + text.size(), card);
                return Told(card);
            }
            if (text.find("\"type\":\"turn\"") != std::string_view::npos && text.find("\"legal\"") == std::string_view::npos)
                return;
        }
        std::string why;
        const auto message = net::ParseServerMessage(text, &why);
        if (!message) return Failed(why);
        try {
            Handle(*message);
        } catch (const json::exception&) {
            Failed("the server sent a malformed " + message->type + " message");
        }
    }

    void Handle(const net::ServerMessage& m) {
        const json& o = m.body;
        if (m.type == "error")
            return Failed("the server refused: " + o.value("code", std::string("?")) + ": " + o.value("message", std::string()));
        if (m.type == "bye") return Failed("the server said: " + o.value("reason", std::string()));
        if (m.type == "match_end") return Finished();
        if (m.type == "welcome") return Welcome(o);
        if (m.type == "table" && Host() && !started_ && !o.value("started", false)) {
            bool full = true;
            for (const json& s : o.at("seats")) full = full && (s.at("kind") == "person" || s.at("kind") == "computer");
            if (full) link_->Send(net::Encode(net::Start{})), started_ = true;
        }
        std::string why;
        if (copy_ && !copy_->Apply(m, &why)) return Failed("the server's messages do not add up: " + why);
        if (m.type == "deal") seen_.clear(), ++deals_;
        if (m.type == "played") Told(o.at("card").get<int>());
        if (m.type == "deal_end" && table_ && seen_.size() != 52) table_->figures->lost += 52 - static_cast<long>(seen_.size());
        if (m.type == "trick" && ++tricks_ == o_.leaveAfterTricks) return Leave();
        if (m.type == "turn" && o.contains("legal")) Turn(o.at("legal"));
    }

    bool Host() const { return table_ ? table_->seats[0].get() == this : o_.create; }

    void Welcome(const json& o) {
        if (o.value("role", std::string()) == "player") {
            seat_ = o.value("seat", -1);
            token_ = o.value("token", std::string());
            if (seat_ < 0 || seat_ > 3) return Failed("the server gave no seat");
            if (keepCopy_ && (!copy_ || copy_->Seat() != seat_)) copy_.emplace(seat_);
        }
        if (!o.contains("code") || printed_) return;
        printed_ = true;
        const std::string code = o.at("code");
        if (table_) {
            table_->joined = true;
            for (int i = 1; i < 4; ++i) table_->seats[i]->Start(net::Encode(net::Join{code, o_.name, i}));
            return;
        }
        std::printf("%s\nwatch %s\n", code.c_str(), o.value("watchCode", std::string()).c_str());
        std::fflush(stdout);
        for (const int seat : o_.computerSeats) link_->Send(net::Encode(net::SetSeat{seat, net::SeatKind::Computer, o_.level}));
    }

    void Turn(const json& legal) {
        if (!legal.is_array() || legal.empty()) return Failed("the server offered no card");
        int card = -1;
        // The bots read only a copy that says it is this seat's turn in a deal in play.
        const bool copyReady = copy_ && copy_->InPlay() && !DealOver(copy_->Deal()) && copy_->Deal().toPlay == seat_;
        if (o_.bot == Bot::Random) {
            card = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(random_)];
        } else if (!copyReady) {
            card = legal[0];
        } else {
            DealState mine = copy_->Deal();
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
        if (!table_ || o_.thinkMillis <= 0) return Play(card);
        // Players take their time, each its own: from half to one and a half times the figure.
        think_.expires_after(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(o_.thinkMillis / 2, o_.thinkMillis * 3 / 2)(random_)));
        think_.async_wait([weak = weak_from_this(), card](const boost::system::error_code& ec) {
            if (const auto self = weak.lock(); self && !ec) self->Play(card);
        });
    }

    void Play(int card) {
        if (table_) {
            table_->inFlight[deals_ * 64 + card] = {Clock::now(), 0};
            ++table_->figures->cards;
        }
        link_->Send(net::Encode(net::Play{card}));
    }

    // A card played at the table reached this seat: once the fourth seat has it, its time is in.
    void Told(int card) {
        if (!table_) return;
        Figures& f = *table_->figures;
        if (card < 0 || card > 51) return Failed("the server named no card");
        if (!seen_.insert(card).second) ++f.twice;
        const auto it = table_->inFlight.find(deals_ * 64 + card);
        if (it != table_->inFlight.end() && ++it->second.second == 4) {
            f.millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - it->second.first).count());
            f.sent.push_back(std::chrono::duration<double>(it->second.first - f.begin).count());
            table_->inFlight.erase(it);
        }
    }

    // Drops the connection as a closed lid would; with --rejoin, comes back with the token.
    void Leave() {
        link_->Cut();
        if (!o_.rejoin) return Finished();
        think_.expires_after(std::chrono::milliseconds(50));
        think_.async_wait([self = shared_from_this()](const boost::system::error_code&) {
            self->Start(net::Encode(net::Rejoin{self->token_}));
        });
    }

    void Finished() {
        done_ = true;
        if (!table_) return net_.io.stop();
        link_->Cut();
        if (++table_->done == 4) ++table_->figures->matches;
        SeatOver();
    }

    void SeatOver() {
        LoadTable& t = *table_;
        if (++t.over == (t.joined ? 4 : 1) && ++t.figures->tablesOver == t.figures->tables) net_.io.stop();
    }

    void Failed(const std::string& why) {
        if (!table_) Fail(why);
        Figures& f = *table_->figures;
        if (f.firstError.empty()) f.firstError = why;
        ++f.errors;
    }

    void Ended(const std::string& why) {
        if (done_) return;
        if (!table_) Fail(why);
        done_ = true;
        if (opened_) ++table_->figures->lost;
        else ++table_->figures->refused;
        if (table_->figures->firstError.empty()) table_->figures->firstError = why;
        SeatOver();
    }

    Network& net_;
    const Options& o_;
    LoadTable* table_;
    std::shared_ptr<client::Link> link_;
    std::ofstream record_;
    std::mt19937 random_;
    ExpertPlayer expert_;
    RulesPlayer rules_;
    const bool keepCopy_;
    std::optional<net::RemoteDeal> copy_;
    asio::steady_timer think_{net_.io};
    int seat_ = -1;
    std::string token_;
    bool opened_ = false, printed_ = false, started_ = false, done_ = false;
    int tricks_ = 0;
    // The load's bookkeeping: deals begun, and the cards this seat was told in the deal in play.
    int deals_ = 0;
    std::set<int> seen_;
};

double Percentile(std::vector<double>& v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

int PlayTables(Network& net, const Options& o) {
    // Each seat is a connection, and so a file: take what the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    std::ofstream latencies;
    if (!o.latencies.empty()) {
        latencies.open(o.latencies, std::ios::trunc);
        if (!latencies) Fail("cannot write " + o.latencies);
    }
    Figures figures;
    figures.tables = o.tables;
    std::vector<std::unique_ptr<LoadTable>> tables;
    const auto begin = figures.begin;
    // Tables open a few at a time so the server's accept queue never overflows.
    asio::steady_timer opener(net.io);
    std::function<void()> open = [&] {
        for (int k = 0; k < 50 && static_cast<int>(tables.size()) < o.tables; ++k) {
            auto t = std::make_unique<LoadTable>();
            t->figures = &figures;
            const auto first = static_cast<std::uint32_t>(tables.size() * 4);
            for (std::uint32_t s = 0; s < 4; ++s) t->seats.push_back(std::make_shared<Player>(net, o, o.seed + first + s, t.get()));
            t->seats[0]->Start(net::Encode(net::Create{0, o.name, net::Level::Rules, 0}));
            tables.push_back(std::move(t));
        }
        if (static_cast<int>(tables.size()) < o.tables) {
            opener.expires_after(std::chrono::milliseconds(20));
            opener.async_wait([&](const boost::system::error_code&) { open(); });
        }
    };
    open();
    net.io.run();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    for (std::size_t i = 0; i < figures.millis.size(); ++i) latencies << figures.millis[i] << ' ' << figures.sent[i] << '\n';
    std::printf("tables: %d, matches finished: %ld, cards played: %ld in %.1f s (%.0f a second)\n", o.tables, figures.matches,
                figures.cards, seconds, static_cast<double>(figures.cards) / seconds);
    const std::size_t timed = figures.millis.size();
    const double p50 = Percentile(figures.millis, 0.5), p99 = Percentile(figures.millis, 0.99);
    std::printf("card sent to the last seat told: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu cards)\n", p50, p99,
                Percentile(figures.millis, 1.0), timed);
    std::printf("errors: %ld, lost: %ld, told twice: %ld, connections refused: %ld\n", figures.errors, figures.lost,
                figures.twice, figures.refused);
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    std::printf("client CPU: %.1f s\n", static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                                            static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6);
    if (!figures.firstError.empty()) std::printf("first error: %s\n", figures.firstError.c_str());
    std::fflush(stdout);
    return figures.errors || figures.lost || figures.twice || figures.refused || figures.matches != o.tables ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ReadOptions(argc, argv);
    Network net;
    net.url = options.server;
    if (net.url.tls) {
        std::string why;
        net.tls = client::ClientTls(options.caFile, &why);
        if (!net.tls) Fail("cannot use the trusted certificates: " + why);
    } else if (!options.caFile.empty()) {
        Fail("--ca goes with a wss:// server");
    }
    try {
        net.where = tcp::resolver(net.io).resolve(net.url.host, net.url.port);
    } catch (const std::exception& e) {
        Fail("cannot find the server " + net.url.host + " (" + e.what() + ")");
    }
    if (options.tables > 0) return PlayTables(net, options);
    const auto player = std::make_shared<Player>(net, options, options.seed, nullptr);
    player->Start(options.create ? net::Encode(net::Create{options.seat < 0 ? 0 : options.seat, options.name, net::Level::Rules,
                                                           options.turnSeconds})
                                 : net::Encode(net::Join{options.join, options.name, options.seat}));
    net.io.run();
    return 0;
}
