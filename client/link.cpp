#include "client/link.hpp"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <charconv>
#include <chrono>
#include <deque>

#include "net/protocol.hpp"

namespace pellow::client {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// Each step of opening a connection: the TCP connect, the TLS and the WebSocket handshakes.
constexpr auto kStepTime = std::chrono::seconds(10);

template <class Stream>
class WebSocketLink final : public Link, public std::enable_shared_from_this<WebSocketLink<Stream>> {
public:
    static constexpr bool kTls = std::is_same_v<Stream, beast::ssl_stream<beast::tcp_stream>>;

    template <class... StreamArgs>
    WebSocketLink(const ServerUrl& url, Opened opened, Received received, Ended ended, StreamArgs&&... args)
        : url_(url), opened_(std::move(opened)), received_(std::move(received)), ended_(std::move(ended)),
          ws_(std::forward<StreamArgs>(args)...) {}

    void Start(const tcp::resolver::results_type& where) {
        beast::get_lowest_layer(ws_).expires_after(kStepTime);
        beast::get_lowest_layer(ws_).async_connect(where, [self = this->shared_from_this()](beast::error_code ec, const tcp::endpoint&) {
            if (ec) return self->End("cannot reach the server (" + ec.message() + ")");
            beast::error_code ignored;
            beast::get_lowest_layer(self->ws_).socket().set_option(tcp::no_delay(true), ignored);
            if constexpr (kTls) self->Secure();
            else self->Upgrade();
        });
    }

    void Send(std::string text) override {
        if (over_) return;
        queue_.push_back(std::move(text));
        if (open_ && queue_.size() == 1) Write();
    }

    void Cut() override {
        if (over_) return;
        over_ = true;
        Close();
    }

private:
    // The certificate must chain to a trusted one (the context's) and be the host's: its name,
    // or for an address its IP entry. OpenSSL checks both, so a refusal carries its reason.
    void Secure() {
        SSL* ssl = ws_.next_layer().native_handle();
        X509_VERIFY_PARAM* check = SSL_get0_param(ssl);
        beast::error_code notAnAddress;
        asio::ip::make_address(url_.host, notAnAddress);
        if (!notAnAddress) {
            X509_VERIFY_PARAM_set1_ip_asc(check, url_.host.c_str());
        } else {
            X509_VERIFY_PARAM_set1_host(check, url_.host.c_str(), url_.host.size());
            // The name the server chooses its certificate by (SNI).
            SSL_set_tlsext_host_name(ssl, url_.host.c_str());
        }
        ws_.next_layer().async_handshake(asio::ssl::stream_base::client, [self = this->shared_from_this()](beast::error_code ec) {
            if (ec) return self->End(self->TlsRefusal(ec));
            self->Upgrade();
        });
    }

    std::string TlsRefusal(const beast::error_code& ec) {
        if constexpr (kTls) {
            const long verdict = SSL_get_verify_result(ws_.next_layer().native_handle());
            if (verdict != X509_V_OK)
                return std::string("the server's certificate is not trusted (") + X509_verify_cert_error_string(verdict) + ")";
        }
        return "the TLS handshake failed (" + ec.message() + ")";
    }

    void Upgrade() {
        // From here the WebSocket's own timeouts rule: pings while nothing comes, and a server
        // that answers none for 30 s is gone.
        beast::get_lowest_layer(ws_).expires_never();
        websocket::stream_base::timeout timeout{};
        timeout.handshake_timeout = kStepTime;
        timeout.idle_timeout = std::chrono::seconds(30);
        timeout.keep_alive_pings = true;
        ws_.set_option(timeout);
        ws_.read_message_max(net::kMaxMessageBytes);
        const std::string host = url_.host.find(':') == std::string::npos ? url_.host : "[" + url_.host + "]";
        ws_.async_handshake(host + ":" + url_.port, url_.path, [self = this->shared_from_this()](beast::error_code ec) {
            if (ec) return self->End("the server did not open a WebSocket (" + ec.message() + ")");
            self->ws_.text(true);
            self->open_ = true;
            self->opened_();
            if (self->over_) return;
            self->Read();
            if (!self->queue_.empty()) self->Write();
        });
    }

    void Read() {
        ws_.async_read(buffer_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (self->over_) return;
            if (ec == websocket::error::closed) return self->End("the server closed the connection");
            if (ec) return self->End("the server is gone (" + ec.message() + ")");
            const auto data = self->buffer_.data();
            self->received_(std::string_view(static_cast<const char*>(data.data()), data.size()));
            self->buffer_.consume(self->buffer_.size());
            if (!self->over_) self->Read();
        });
    }

    void Write() {
        ws_.async_write(asio::buffer(queue_.front()), [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (self->over_) return;
            if (ec) return self->End("the server is gone (" + ec.message() + ")");
            self->queue_.pop_front();
            if (!self->queue_.empty()) self->Write();
        });
    }

    void End(const std::string& why) {
        if (over_) return;
        over_ = true;
        Close();
        ended_(why);
    }

    void Close() {
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(ws_).close();
    }

    ServerUrl url_;
    Opened opened_;
    Received received_;
    Ended ended_;
    websocket::stream<Stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::string> queue_;
    bool open_ = false, over_ = false;
};

bool Printable(std::string_view s) {
    for (const unsigned char c : s)
        if (c <= 0x20 || c == 0x7f) return false;
    return true;
}

}  // namespace

std::optional<ServerUrl> ReadServerUrl(std::string_view url, std::string* why) {
    auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    ServerUrl u;
    if (url.rfind("ws://", 0) == 0) url.remove_prefix(5);
    else if (url.rfind("wss://", 0) == 0) u.tls = true, url.remove_prefix(6);
    else return fail("--server takes ws://HOST[:PORT][/PATH] or wss://...");
    if (const auto slash = url.find('/'); slash != std::string_view::npos) {
        u.path = std::string(url.substr(slash));
        url = url.substr(0, slash);
    }
    std::string_view host = url, port;
    if (url.rfind('[', 0) == 0) {
        const auto close = url.find(']');
        if (close == std::string_view::npos) return fail("--server: an IPv6 address needs its closing ]");
        host = url.substr(1, close - 1);
        port = url.substr(close + 1);
    } else if (const auto colon = url.rfind(':'); colon != std::string_view::npos) {
        host = url.substr(0, colon);
        port = url.substr(colon);
    }
    if (host.empty() || !Printable(host) || !Printable(u.path)) return fail("--server: no host, or a blank in the address");
    if (port.empty()) {
        u.port = u.tls ? "443" : "80";
    } else {
        unsigned number = 0;
        const auto [end, ec] = std::from_chars(port.data() + 1, port.data() + port.size(), number);
        if (port[0] != ':' || ec != std::errc() || end != port.data() + port.size() || number == 0 || number > 65535)
            return fail("--server: the port is a number from 1 to 65535");
        u.port = std::to_string(number);
    }
    u.host = std::string(host);
    return u;
}

std::unique_ptr<asio::ssl::context> ClientTls(const std::string& caFile, std::string* why) {
    auto tls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
    tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                     asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
    tls->set_verify_mode(asio::ssl::verify_peer);
    beast::error_code ec;
    if (caFile.empty()) tls->set_default_verify_paths(ec);
    else tls->load_verify_file(caFile, ec);
    if (ec) {
        if (why) *why = (caFile.empty() ? std::string("the system's certificates") : caFile) + ": " + ec.message();
        return nullptr;
    }
    return tls;
}

std::shared_ptr<Link> OpenLink(asio::io_context& io, const tcp::resolver::results_type& where, const ServerUrl& url,
                               asio::ssl::context* tls, Link::Opened opened, Link::Received received, Link::Ended ended) {
    if (url.tls) {
        auto link = std::make_shared<WebSocketLink<beast::ssl_stream<beast::tcp_stream>>>(
            url, std::move(opened), std::move(received), std::move(ended), io, *tls);
        link->Start(where);
        return link;
    }
    auto link = std::make_shared<WebSocketLink<beast::tcp_stream>>(url, std::move(opened), std::move(received), std::move(ended), io);
    link->Start(where);
    return link;
}

}  // namespace pellow::client
