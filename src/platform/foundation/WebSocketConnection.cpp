#include "platform/foundation/WebSocketConnection.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URLError.h"

namespace brindlecue::platform {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr auto kTuple = asio::as_tuple(asio::use_awaitable);
constexpr const char* kPOSIXDomain = "NSPOSIXErrorDomain";
constexpr int64_t kNotConnected = 57;  // ENOTCONN

Error notConnected() {
    return Error::withDescription(kPOSIXDomain, kNotConnected, "Socket is not connected");
}

// Where a "ws" or "wss" URL points.
struct Endpoint {
    bool secure = false;
    std::string host;  // without brackets
    std::string port;
    std::string hostHeader;  // as the Host header gives it
    std::string target;      // path and query
};

bool isIPAddress(const std::string& host) {
    beast::error_code ec;
    asio::ip::make_address(host, ec);
    return !ec;
}

std::optional<Endpoint> parseURL(const std::string& url) {
    // Spaces and control characters would end up in the request line.
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; }))
        return std::nullopt;
    auto schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return std::nullopt;
    std::string scheme = url.substr(0, schemeEnd);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    Endpoint endpoint;
    if (scheme == "wss")
        endpoint.secure = true;
    else if (scheme != "ws")
        return std::nullopt;

    std::string rest = url.substr(schemeEnd + 3);
    auto fragment = rest.find('#');
    if (fragment != std::string::npos) rest.resize(fragment);
    auto authorityEnd = rest.find_first_of("/?");
    std::string authority = rest.substr(0, authorityEnd);
    endpoint.target = authorityEnd == std::string::npos ? "/" : rest.substr(authorityEnd);
    if (endpoint.target.front() == '?') endpoint.target.insert(0, "/");
    auto at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);

    std::string hostText;
    std::string portText;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string::npos) return std::nullopt;
        hostText = authority.substr(0, close + 1);
        endpoint.host = authority.substr(1, close - 1);
        std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
        }
    } else {
        auto colon = authority.find(':');
        hostText = authority.substr(0, colon);
        endpoint.host = hostText;
        if (colon != std::string::npos) portText = authority.substr(colon + 1);
    }
    if (endpoint.host.empty()) return std::nullopt;
    const char* defaultPort = endpoint.secure ? "443" : "80";
    if (portText.empty()) {
        endpoint.port = defaultPort;
        endpoint.hostHeader = hostText;
    } else {
        if (portText.size() > 5 ||
            !std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        int port = std::stoi(portText);
        if (port < 1 || port > 65535) return std::nullopt;
        endpoint.port = std::to_string(port);
        endpoint.hostHeader = endpoint.port == defaultPort ? hostText : hostText + ":" + endpoint.port;
    }
    return endpoint;
}

bool validHeader(const std::pair<std::string, std::string>& header) {
    auto bad = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
    return !header.first.empty() && std::none_of(header.first.begin(), header.first.end(), bad) &&
           std::none_of(header.second.begin(), header.second.end(), bad) &&
           header.first.find(':') == std::string::npos;
}

// Codes that may not appear in a close frame are sent as a close frame without a code.
websocket::close_reason closeReasonFor(uint16_t code, std::string reason) {
    bool sendable = (code >= 1000 && code <= 1014 && code != 1004 && code != 1005 && code != 1006) ||
                    (code >= 3000 && code <= 4999);
    if (!sendable) return websocket::close_reason();
    if (reason.size() > 123) reason.resize(123);
    return websocket::close_reason(static_cast<websocket::close_code>(code), beast::string_view(reason));
}

WebSocketConnection::CertificateChain peerChain(SSL* ssl) {
    WebSocketConnection::CertificateChain chain;
    auto append = [&chain](X509* cert) {
        int length = i2d_X509(cert, nullptr);
        if (length <= 0) return;
        std::vector<uint8_t> der(static_cast<size_t>(length));
        unsigned char* p = der.data();
        i2d_X509(cert, &p);
        if (std::find(chain.begin(), chain.end(), der) == chain.end()) chain.push_back(std::move(der));
    };
    if (X509* leaf = SSL_get1_peer_certificate(ssl)) {
        append(leaf);
        X509_free(leaf);
    }
    if (STACK_OF(X509)* rest = SSL_get_peer_cert_chain(ssl))
        for (int i = 0; i < sk_X509_num(rest); ++i) append(sk_X509_value(rest, i));
    return chain;
}

// The websocket's own timers stay off: every deadline of a connection runs on the process's Clock.
template <class Ws>
void turnOffStreamTimers(Ws& ws) {
    websocket::stream_base::timeout off{};
    off.handshake_timeout = websocket::stream_base::none();
    off.idle_timeout = websocket::stream_base::none();
    off.keep_alive_pings = false;
    ws.set_option(off);
}

template <class Ws>
void closeLowest(Ws& ws) {
    beast::error_code ignored;
    auto& socket = beast::get_lowest_layer(ws).socket();
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace

struct WebSocketConnection::Impl : std::enable_shared_from_this<WebSocketConnection::Impl> {
    using PlainWs = websocket::stream<beast::tcp_stream>;
    using SecureWs = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;
    enum class State { idle, connecting, open, closing, closed };

    struct Outgoing {
        enum class Kind { text, ping, close } kind = Kind::text;
        std::string text;
        websocket::close_reason reason;
        Completion completion;
    };

    Impl(std::string u, Headers h, double timeout, TrustEvaluator t)
        : url(std::move(u)),
          headers(std::move(h)),
          handshakeTimeout(timeout > 0 ? timeout : 60),
          trust(std::move(t)) {}

    asio::io_context ioc{1};
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work{ioc.get_executor()};
    // Whether the worker still runs the connection; kept apart from it, because the worker lets go
    // of the connection before it says it is done.
    struct Worker {
        std::mutex mutex;
        std::condition_variable done;
        bool running = true;
    };
    const std::shared_ptr<Worker> worker = std::make_shared<Worker>();
    const std::string url;
    const Headers headers;
    const double handshakeTimeout;
    const TrustEvaluator trust;

    // Everything below is touched only on the worker thread.
    Callbacks callbacks;
    bool silenced = false;
    State state = State::idle;
    std::optional<Endpoint> endpoint;
    std::unique_ptr<asio::ssl::context> sslContext;
    std::unique_ptr<PlainWs> plain;
    std::unique_ptr<SecureWs> secure;
    std::unique_ptr<tcp::resolver> resolver;
    Clock::TimerId deadline = 0;  // the opening or closing handshake's, on the Clock
    std::deque<Outgoing> writes;
    bool writing = false;
    std::deque<std::function<void(ReceiveResult)>> receivers;
    std::deque<ReceiveResult> received;
    std::deque<Completion> pongWaiters;
    std::optional<Error> ending;  // what ended the connection; later receives get it
    websocket::close_reason sentClose;

    Error urlError(int64_t code) const {
        Value info = Value::dictionary();
        info.set(Error::kLocalizedDescriptionKey, URLError::localizedDescription(code));
        info.set(URLError::kFailingURLKey, url);
        info.set(URLError::kFailingURLStringKey, url);
        return Error(URLError::kDomain, code, std::move(info));
    }

    template <class F>
    void post(F&& f) {
        asio::post(ioc, std::forward<F>(f));
    }

    // Fires on the worker thread once the handshake has taken the time-out (Clock time); what
    // runs then decides from the state whether the handshake is still going on.
    void startDeadline(std::function<void(Impl&)> expired) {
        cancelDeadline();
        std::weak_ptr<Impl> weak = weak_from_this();
        deadline = Clock::schedule(Clock::uptime() + handshakeTimeout, [weak, expired = std::move(expired)] {
            if (auto self = weak.lock()) {
                self->post([weak, expired] {
                    if (auto self = weak.lock()) {
                        self->deadline = 0;
                        expired(*self);
                    }
                });
            }
        });
    }

    void cancelDeadline() {
        if (deadline) Clock::cancel(deadline);
        deadline = 0;
    }

    void closeTransport() {
        if (resolver) resolver->cancel();
        cancelDeadline();
        if (plain) closeLowest(*plain);
        if (secure) closeLowest(*secure);
    }

    void failPending(const Error& error) {
        auto waiting = std::move(receivers);
        receivers.clear();
        auto queued = std::move(writes);
        writes.clear();
        auto pongs = std::move(pongWaiters);
        pongWaiters.clear();
        for (auto& receiver : waiting) receiver(error);
        for (auto& write : queued)
            if (write.completion) write.completion(error);
        for (auto& pong : pongs)
            if (pong) pong(error);
    }

    // The connection failed or was lost.
    void fail(const Error& error) {
        if (state == State::closed) return;
        state = State::closed;
        ending = error;
        closeTransport();
        failPending(error);
        if (!silenced && callbacks.onError) callbacks.onError(error);
    }

    // The close handshake is over (or the peer went away while we were closing).
    void finishClosed(uint16_t code, const std::string& reason) {
        if (state == State::closed) return;
        state = State::closed;
        ending = notConnected();
        closeTransport();
        failPending(*ending);
        if (!silenced && callbacks.onClose) callbacks.onClose(code, reason);
    }

    void deliver(ReceiveResult result) {
        if (receivers.empty()) {
            received.push_back(std::move(result));
            return;
        }
        auto receiver = std::move(receivers.front());
        receivers.pop_front();
        receiver(std::move(result));
    }

    void doConnect() {
        if (state != State::idle) return;
        endpoint = parseURL(url);
        if (!endpoint) {
            fail(urlError(URLError::BadURL));
            return;
        }
        state = State::connecting;
        resolver = std::make_unique<tcp::resolver>(ioc);
        startDeadline([](Impl& self) {
            if (self.state == State::connecting) self.fail(self.urlError(URLError::TimedOut));
        });
        auto onEnd = [self = shared_from_this()](std::exception_ptr e) {
            if (e) self->fail(self->urlError(URLError::Unknown));
        };
        if (endpoint->secure) {
            sslContext = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
            if (!trust) sslContext->set_default_verify_paths();
            secure = std::make_unique<SecureWs>(ioc, *sslContext);
            asio::co_spawn(ioc, run(shared_from_this(), *secure), onEnd);
        } else {
            plain = std::make_unique<PlainWs>(ioc);
            asio::co_spawn(ioc, run(shared_from_this(), *plain), onEnd);
        }
    }

    template <class Ws>
    asio::awaitable<void> run(std::shared_ptr<Impl> self, Ws& ws) {
        const Endpoint& ep = *endpoint;
        auto [resolveError, results] = co_await resolver->async_resolve(ep.host, ep.port, kTuple);
        if (state != State::connecting) co_return;
        if (resolveError) co_return fail(urlError(URLError::CannotFindHost));

        auto [connectError, peer] = co_await beast::get_lowest_layer(ws).async_connect(results, kTuple);
        if (state != State::connecting) co_return;
        if (connectError) co_return fail(urlError(URLError::CannotConnectToHost));

        if constexpr (std::is_same_v<Ws, SecureWs>) {
            auto& tls = ws.next_layer();
            SSL* ssl = tls.native_handle();
            bool ip = isIPAddress(ep.host);
            if (!ip) SSL_set_tlsext_host_name(ssl, ep.host.c_str());
            tls.set_verify_mode(asio::ssl::verify_peer);
            if (trust) {
                // The evaluator decides once the handshake has shown the chain.
                tls.set_verify_callback([](bool, asio::ssl::verify_context&) { return true; });
            } else {
                X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
                if (ip) {
                    X509_VERIFY_PARAM_set1_ip_asc(param, ep.host.c_str());
                } else {
                    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
                    X509_VERIFY_PARAM_set1_host(param, ep.host.c_str(), 0);
                }
            }
            auto [tlsError] = co_await tls.async_handshake(asio::ssl::stream_base::client, kTuple);
            if (state != State::connecting) co_return;
            if (tlsError) {
                bool untrusted = !trust && SSL_get_verify_result(ssl) != X509_V_OK;
                co_return fail(urlError(untrusted ? URLError::ServerCertificateUntrusted
                                                  : URLError::SecureConnectionFailed));
            }
            if (trust) {
                bool trusted = false;
                try {
                    trusted = trust(peerChain(ssl), ep.host);
                } catch (...) {
                    trusted = false;
                }
                if (state != State::connecting) co_return;
                if (!trusted) co_return fail(urlError(URLError::ServerCertificateUntrusted));
            }
        }

        turnOffStreamTimers(ws);
        ws.set_option(websocket::stream_base::decorator([extra = headers](websocket::request_type& request) {
            for (const auto& header : extra)
                if (validHeader(header)) request.set(header.first, header.second);
        }));
        websocket::response_type response;
        auto [handshakeError] = co_await ws.async_handshake(response, ep.hostHeader, ep.target, kTuple);
        if (state != State::connecting) co_return;
        if (handshakeError) {
            bool answered = response.result_int() != 0 && response.result_int() != 101;
            co_return fail(
                urlError(answered ? URLError::BadServerResponse : URLError::NetworkConnectionLost));
        }

        cancelDeadline();
        state = State::open;
        ws.control_callback([this](websocket::frame_type kind, beast::string_view) {
            if (kind != websocket::frame_type::pong || pongWaiters.empty()) return;
            auto handler = std::move(pongWaiters.front());
            pongWaiters.pop_front();
            if (handler) handler(std::nullopt);
        });
        if (!silenced && callbacks.onOpen)
            callbacks.onOpen(std::string(response[http::field::sec_websocket_protocol]));
        startWriting();

        for (;;) {
            beast::flat_buffer buffer;
            auto [readError, bytes] = co_await ws.async_read(buffer, kTuple);
            if (state == State::closed) co_return;
            if (readError == websocket::error::closed) {
                const auto& reason = ws.reason();
                uint16_t code = reason.code != websocket::close_code::none ? reason.code : sentClose.code;
                co_return finishClosed(code != websocket::close_code::none ? code : 1005,
                                       std::string(reason.reason.c_str()));
            }
            if (readError) {
                // A close frame sent without a code ends as one received without a code: 1005.
                if (state == State::closing)
                    co_return finishClosed(sentClose.code != websocket::close_code::none ? sentClose.code : 1005,
                                           std::string(sentClose.reason.c_str()));
                co_return fail(urlError(URLError::NetworkConnectionLost));
            }
            if (ws.got_text()) {
                deliver(beast::buffers_to_string(buffer.data()));
            } else {
                auto data = buffer.data();
                auto begin = asio::buffers_begin(data);
                deliver(std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(buffer.size())));
            }
        }
    }

    void startWriting() {
        if (writing || writes.empty() || (state != State::open && state != State::closing)) return;
        writing = true;
        auto onEnd = [self = shared_from_this()](std::exception_ptr e) {
            self->writing = false;
            if (e) self->fail(self->urlError(URLError::Unknown));
        };
        if (plain)
            asio::co_spawn(ioc, drain(shared_from_this(), *plain), onEnd);
        else
            asio::co_spawn(ioc, drain(shared_from_this(), *secure), onEnd);
    }

    // Writes queued frames one at a time: the stream allows one write in flight.
    template <class Ws>
    asio::awaitable<void> drain(std::shared_ptr<Impl> self, Ws& ws) {
        while (!writes.empty() && (state == State::open || state == State::closing)) {
            Outgoing op = std::move(writes.front());
            writes.pop_front();
            switch (op.kind) {
                case Outgoing::Kind::text: {
                    ws.text(true);
                    auto [ec, n] = co_await ws.async_write(asio::buffer(op.text), kTuple);
                    if (op.completion) op.completion(ec ? std::optional<Error>(writeError()) : std::nullopt);
                    break;
                }
                case Outgoing::Kind::ping: {
                    // Registered first: the pong may be read before this write's completion runs.
                    pongWaiters.push_back(std::move(op.completion));
                    auto [ec] = co_await ws.async_ping({}, kTuple);
                    if (ec && state != State::closed && !pongWaiters.empty()) {
                        auto handler = std::move(pongWaiters.back());
                        pongWaiters.pop_back();
                        if (handler) handler(writeError());
                    }
                    break;
                }
                case Outgoing::Kind::close: {
                    auto [ec] = co_await ws.async_close(op.reason, kTuple);
                    if (ec) finishClosed(op.reason.code, std::string(op.reason.reason.c_str()));
                    break;
                }
            }
        }
        writing = false;
    }

    Error writeError() const {
        if (silenced) return urlError(URLError::Cancelled);
        return notConnected();
    }

    void doSend(Outgoing op) {
        if (state == State::closed || state == State::closing) {
            if (op.completion) op.completion(notConnected());
            return;
        }
        writes.push_back(std::move(op));
        startWriting();
    }

    void doReceive(std::function<void(ReceiveResult)> completion) {
        if (!received.empty()) {
            auto result = std::move(received.front());
            received.pop_front();
            completion(std::move(result));
        } else if (state == State::closed) {
            completion(ending ? *ending : notConnected());
        } else {
            receivers.push_back(std::move(completion));
        }
    }

    void doCancel(websocket::close_reason reason) {
        switch (state) {
            case State::idle:
            case State::connecting:
                fail(urlError(URLError::Cancelled));
                break;
            case State::open:
                state = State::closing;
                sentClose = reason;
                writes.push_back(Outgoing{Outgoing::Kind::close, {}, reason, {}});
                startWriting();
                // The closing handshake gets the same time as the opening one.
                startDeadline([](Impl& self) {
                    if (self.state == State::closing) {
                        self.finishClosed(self.sentClose.code, std::string(self.sentClose.reason.c_str()));
                    }
                });
                break;
            case State::closing:
            case State::closed:
                break;
        }
    }

    void abort() {
        silenced = true;
        fail(urlError(URLError::Cancelled));
    }
};

WebSocketConnection::WebSocketConnection(std::string url, Headers headers, double handshakeTimeoutSeconds,
                                         TrustEvaluator trust)
    : url_(url),
      impl_(std::make_shared<Impl>(std::move(url), std::move(headers), handshakeTimeoutSeconds,
                                   std::move(trust))) {
    // A worker of the shared pool rather than a thread of our own: such a thread would end with the
    // connection, often while the process is exiting, and once OpenSSL has cleaned up at exit the
    // state it keeps for that thread is never freed. Pool workers are not tied to a connection.
    DispatchQueue::global()->async([impl = impl_, worker = impl_->worker]() mutable {
        for (;;) {
            try {
                impl->ioc.run();
                break;
            } catch (...) {
                // A callback threw; the connection's own state is consistent, so carry on.
            }
        }
        // A destructor waiting for the worker then frees the connection itself, before it returns.
        impl.reset();
        std::lock_guard lock(worker->mutex);
        worker->running = false;
        worker->done.notify_all();
    });
}

WebSocketConnection::~WebSocketConnection() {
    auto impl = impl_;
    impl->post([impl] { impl->abort(); });
    impl->post([impl] { impl->work.reset(); });
    // Inside one of our own callbacks the worker stops once the callback has returned and then
    // frees the connection. Anywhere else wait for it, so that nothing of it runs or remains after.
    if (impl->ioc.get_executor().running_in_this_thread()) return;
    auto worker = impl->worker;
    std::unique_lock lock(worker->mutex);
    worker->done.wait(lock, [&] { return !worker->running; });
}

void WebSocketConnection::setCallbacks(Callbacks callbacks) {
    impl_->post([impl = impl_, callbacks = std::move(callbacks)]() mutable {
        impl->callbacks = std::move(callbacks);
    });
}

void WebSocketConnection::connect() {
    impl_->post([impl = impl_] { impl->doConnect(); });
}

void WebSocketConnection::sendText(std::string text, Completion completion) {
    impl_->post([impl = impl_, text = std::move(text), completion = std::move(completion)]() mutable {
        impl->doSend(Impl::Outgoing{Impl::Outgoing::Kind::text, std::move(text), {}, std::move(completion)});
    });
}

void WebSocketConnection::receive(std::function<void(ReceiveResult)> completion) {
    impl_->post([impl = impl_, completion = std::move(completion)]() mutable {
        impl->doReceive(std::move(completion));
    });
}

void WebSocketConnection::sendPing(Completion pongHandler) {
    impl_->post([impl = impl_, pongHandler = std::move(pongHandler)]() mutable {
        impl->doSend(Impl::Outgoing{Impl::Outgoing::Kind::ping, {}, {}, std::move(pongHandler)});
    });
}

void WebSocketConnection::cancel(uint16_t closeCode, std::string reason) {
    impl_->post(
        [impl = impl_, reason = closeReasonFor(closeCode, std::move(reason))] { impl->doCancel(reason); });
}

}  // namespace brindlecue::platform
