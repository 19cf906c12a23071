#pragma once
// One WebSocket connection to a pellow-server, plain (ws://) or over TLS (wss://), run on the
// caller's io_context so that one thread can hold thousands of them (the load benchmark's
// tables). Over TLS the server's certificate must chain to a trusted one and name the host.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pellow::client {

struct ServerUrl {
    bool tls = false;
    std::string host, port, path = "/";
};
// ws://HOST:PORT[/PATH] or wss://...; an IPv6 host in brackets. None, with the reason, otherwise.
std::optional<ServerUrl> ReadServerUrl(std::string_view url, std::string* why);

// A client's TLS settings: the system's trusted certificates, or with `caFile` only those in
// that PEM file (a private or self-signed server's). None, with the reason, for a file that
// holds no certificate.
std::unique_ptr<boost::asio::ssl::context> ClientTls(const std::string& caFile, std::string* why);

class Link {
public:
    using Opened = std::function<void()>;
    using Received = std::function<void(std::string_view text)>;
    // The connection is over: why, in a line (empty when this side closed it).
    using Ended = std::function<void(const std::string& why)>;

    virtual ~Link() = default;
    // Queued behind the messages not yet written.
    virtual void Send(std::string text) = 0;
    // Cuts the connection without a word, as a closed lid does; Ended is not called.
    virtual void Cut() = 0;
};

// Connects to the first of `where` that answers, then the TLS and WebSocket handshakes, each
// bounded in time; then reads until the connection ends. `tls` null: plain ws://.
std::shared_ptr<Link> OpenLink(boost::asio::io_context& io, const boost::asio::ip::tcp::resolver::results_type& where,
                               const ServerUrl& url, boost::asio::ssl::context* tls, Link::Opened opened,
                               Link::Received received, Link::Ended ended);

}  // namespace pellow::client
