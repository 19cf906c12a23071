#include "websocket_server.hpp"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "server/computer_seats.hpp"

namespace pellow::server {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// A client that does not read its messages is let go once this many wait for it.
constexpr std::size_t kMostQueued = 2048;

std::int64_t NowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class Hub;

// What the hub needs of a session, whichever stream it runs on.
class SessionBase {
public:
    virtual ~SessionBase() = default;
    virtual void Queue(std::string text, bool close) = 0;
    virtual void Stop() = 0;
};

class Hub {
public:
    Hub(asio::io_context& io, const ServerOptions& options, std::function<void(const std::string&)> log)
        : io_(io), limits_(options.limits), lobby_(options.limits, options.seed), log_(std::move(log)),
          pool_(options.thinkingThreads, [this](const ThinkRequest& r, int card) {
              asio::post(io_, [this, table = r.table, ticket = r.ticket, card] {
                  lobby_.Answer(table, ticket, card);
                  Flush();
              });
          }) {}

    ConnectionId Add(SessionBase* session, const std::string& address) {
        const ConnectionId id = nextId_++;
        sessions_[id] = session;
        if (!stopping_) lobby_.Open(id, address, NowMillis());
        else session->Queue(net::ErrorMessage(net::ErrorCode::ServerStopping, "the server is stopping"), true);
        Flush();
        return id;
    }
    void Receive(ConnectionId id, std::string_view text) {
        lobby_.Receive(id, text, NowMillis());
        Flush();
    }
    void Remove(ConnectionId id) {
        sessions_.erase(id);
        lobby_.Closed(id);
        Flush();
    }
    void Tick() {
        lobby_.Tick(NowMillis());
        Flush();
    }
    void Shutdown() {
        stopping_ = true;
        lobby_.Shutdown();
        Flush();
    }
    bool Empty() const { return sessions_.empty(); }

    // The lobby counts a connection once it is open; one still in its TLS or WebSocket handshake
    // (ten seconds at most) is counted here, so that a flood of connections that never finish
    // it is bounded per address and in all as the open ones are.
    bool MayHandshake(const std::string& address) {
        int& count = handshaking_[address];
        if (count >= limits_.connectionsPerAddress || handshakingTotal_ >= limits_.maxConnections) {
            if (count == 0) handshaking_.erase(address);
            // Once while the address stays at its bound, not for every connection refused.
            if (floodLogged_.insert(address).second) log_("too many connections opening from " + address);
            return false;
        }
        ++count;
        ++handshakingTotal_;
        return true;
    }
    void HandshakeOver(const std::string& address) {
        const auto it = handshaking_.find(address);
        if (it == handshaking_.end()) return;
        if (--it->second == 0) handshaking_.erase(it);
        --handshakingTotal_;
        floodLogged_.erase(address);
    }
    void StopAll() {
        for (auto& [id, session] : sessions_) session->Stop();
    }

    // Sends what the lobby has to send, asks the computer seats, logs.
    void Flush() {
        for (;;) {
            for (Outgoing& o : lobby_.TakeOutbox())
                if (const auto it = sessions_.find(o.to); it != sessions_.end()) it->second->Queue(std::move(o.text), o.close);
            auto thinking = lobby_.TakeThinking();
            if (thinking.empty()) break;
            for (ThinkRequest& r : thinking) {
                // The Classic answers in microseconds: only the Expert leaves the loop.
                if (r.level == net::Level::Expert) pool_.Add(std::move(r));
                else lobby_.Answer(r.table, r.ticket, Decide(r));
            }
        }
        for (const std::string& line : lobby_.TakeLog()) log_(line);
    }

private:
    asio::io_context& io_;
    Limits limits_;
    std::unordered_map<std::string, int> handshaking_;
    int handshakingTotal_ = 0;
    std::unordered_set<std::string> floodLogged_;
    Lobby lobby_;
    std::function<void(const std::string&)> log_;
    std::unordered_map<ConnectionId, SessionBase*> sessions_;
    ConnectionId nextId_ = 1;
    bool stopping_ = false;
    ThinkingPool pool_;
};

template <class Stream>
class Session final : public SessionBase, public std::enable_shared_from_this<Session<Stream>> {
public:
    Session(Hub& hub, Stream&& stream, std::string address)
        : hub_(hub), ws_(std::move(stream)), address_(std::move(address)) {}

    void Begin() {
        beast::get_lowest_layer(ws_).expires_after(std::chrono::seconds(10));
        if constexpr (std::is_same_v<Stream, beast::ssl_stream<beast::tcp_stream>>) {
            ws_.next_layer().async_handshake(asio::ssl::stream_base::server,
                                             [self = this->shared_from_this()](beast::error_code ec) {
                                                 if (ec) return self->HandshakeOver();
                                                 self->Accept();
                                             });
        } else {
            Accept();
        }
    }

    void Queue(std::string text, bool close) override {
        if (closing_) return;
        if (queue_.size() >= kMostQueued) return Stop();
        queue_.push_back(std::move(text));
        closing_ = close;
        if (queue_.size() == 1) Write();
    }

    void Stop() override {
        beast::error_code ec;
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ec);
        beast::get_lowest_layer(ws_).close();
    }

private:
    void Accept() {
        beast::get_lowest_layer(ws_).expires_never();
        websocket::stream_base::timeout timeout{};
        timeout.handshake_timeout = std::chrono::seconds(10);
        timeout.idle_timeout = websocket::stream_base::none();
        timeout.keep_alive_pings = false;
        ws_.set_option(timeout);
        // One byte over the protocol's bound: a longer message fails the read and the connection.
        ws_.read_message_max(net::kMaxMessageBytes + 1);
        ws_.async_accept([self = this->shared_from_this()](beast::error_code ec) {
            self->HandshakeOver();
            if (ec) return;
            self->id_ = self->hub_.Add(self.get(), self->address_);
            self->open_ = true;
            self->Read();
        });
    }

    void Read() {
        ws_.async_read(buffer_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec) return self->End();
            const auto data = self->buffer_.data();
            self->hub_.Receive(self->id_, std::string_view(static_cast<const char*>(data.data()), data.size()));
            self->buffer_.consume(self->buffer_.size());
            self->Read();
        });
    }

    void Write() {
        ws_.text(true);
        ws_.async_write(asio::buffer(queue_.front()), [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec) return self->End();
            self->queue_.pop_front();
            if (!self->queue_.empty()) return self->Write();
            if (self->closing_)
                self->ws_.async_close(websocket::close_code::normal, [self](beast::error_code) { self->End(); });
        });
    }

    void HandshakeOver() {
        if (std::exchange(handshaking_, false)) hub_.HandshakeOver(address_);
    }

    // The connection is over, whichever side ended it.
    void End() {
        if (!open_) return;
        open_ = false;
        hub_.Remove(id_);
        Stop();
    }

    Hub& hub_;
    websocket::stream<Stream> ws_;
    std::string address_;
    beast::flat_buffer buffer_;
    std::deque<std::string> queue_;
    ConnectionId id_ = 0;
    bool open_ = false;
    bool closing_ = false;
    bool handshaking_ = true;
};

class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(asio::io_context& io, Hub& hub, tcp::endpoint at, asio::ssl::context* tls)
        : io_(io), hub_(hub), acceptor_(io), tls_(tls) {
        acceptor_.open(at.protocol());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind(at);
        acceptor_.listen(asio::socket_base::max_listen_connections);
    }
    tcp::endpoint Where() const { return acceptor_.local_endpoint(); }
    void Accept() {
        acceptor_.async_accept(io_, [self = shared_from_this()](beast::error_code ec, tcp::socket socket) {
            // Closed for the stop: a connection accepted just before it is let go.
            if (!self->acceptor_.is_open()) return;
            if (ec) {
                // Out of files, say: try again shortly rather than spin.
                self->retry_.expires_after(std::chrono::milliseconds(100));
                return self->retry_.async_wait([self](beast::error_code) { self->Accept(); });
            }
            {
                beast::error_code ignored;
                const std::string address = socket.remote_endpoint(ignored).address().to_string();
                socket.set_option(tcp::no_delay(true), ignored);
                if (!self->hub_.MayHandshake(address)) {
                    socket.close(ignored);
                } else if (self->tls_) {
                    std::make_shared<Session<beast::ssl_stream<beast::tcp_stream>>>(
                        self->hub_, beast::ssl_stream<beast::tcp_stream>(beast::tcp_stream(std::move(socket)), *self->tls_), address)
                        ->Begin();
                } else {
                    std::make_shared<Session<beast::tcp_stream>>(self->hub_, beast::tcp_stream(std::move(socket)), address)->Begin();
                }
            }
            self->Accept();
        });
    }
    void Close() {
        beast::error_code ignored;
        acceptor_.close(ignored);
    }

private:
    asio::io_context& io_;
    Hub& hub_;
    tcp::acceptor acceptor_;
    asio::steady_timer retry_{io_};
    asio::ssl::context* tls_;
};

}  // namespace

void RunServer(const ServerOptions& options, const std::function<void(const std::string&)>& log) {
    // One thread runs the network and the lobby: the lobby needs no lock.
    asio::io_context io(1);
    std::unique_ptr<asio::ssl::context> tls;
    if (!options.tlsCert.empty()) {
        tls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
        tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                         asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
        tls->use_certificate_chain_file(options.tlsCert);
        tls->use_private_key_file(options.tlsKey, asio::ssl::context::pem);
    }
    Hub hub(io, options, log);
    auto listener = std::make_shared<Listener>(io, hub, tcp::endpoint(asio::ip::make_address(options.address), options.port), tls.get());
    const tcp::endpoint at = listener->Where();
    log("listening on " + at.address().to_string() + ":" + std::to_string(at.port()) + (tls ? " (TLS)" : ""));
    listener->Accept();

    asio::steady_timer ticker(io);
    std::function<void()> tick = [&] {
        ticker.expires_after(std::chrono::milliseconds(250));
        ticker.async_wait([&](beast::error_code ec) {
            if (ec) return;
            hub.Tick();
            tick();
        });
    };
    tick();

    asio::signal_set signals(io, SIGTERM, SIGINT);
    asio::steady_timer deadline(io);
    signals.async_wait([&](beast::error_code ec, int signal) {
        if (ec) return;
        log(std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
        listener->Close();
        hub.Shutdown();
        ticker.cancel();
        // The byes have a second to go out; then whatever is left is cut.
        deadline.expires_after(std::chrono::seconds(1));
        deadline.async_wait([&](beast::error_code) { hub.StopAll(); });
    });
    io.run();
    log("stopped");
}

}  // namespace pellow::server
