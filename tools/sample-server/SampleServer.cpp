#include "sample-server/SampleServer.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <limits>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>

namespace brindlecue::sampleserver {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using asio::awaitable;
using asio::use_awaitable;

namespace {

constexpr auto kTuple = asio::as_tuple(use_awaitable);

std::string base64(const std::string& text) {
    std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
    int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// ---- Self-signed certificate ----------------------------------------------------------------

struct GeneratedCertificate {
    std::string certificatePEM;
    std::string privateKeyPEM;
    std::vector<uint8_t> certificateDER;
};

std::string bioText(BIO* bio) {
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<size_t>(length));
}

// An EC P-256 key and a certificate for "127.0.0.1" and "localhost", valid for one day.
GeneratedCertificate generateCertificate() {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!key || !cert) throw std::runtime_error("sample server: cannot create a key");

    X509_set_version(cert.get(), 2);
    std::unique_ptr<BIGNUM, decltype(&BN_free)> serial(BN_new(), BN_free);
    BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
    BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get()));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 60 * 60);
    X509_set_pubkey(cert.get(), key.get());

    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Brindlecue sample server"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);

    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    const std::pair<int, const char*> extensions[] = {
        {NID_basic_constraints, "critical,CA:TRUE"},
        {NID_key_usage, "critical,digitalSignature,keyCertSign"},
        {NID_ext_key_usage, "serverAuth"},
        {NID_subject_key_identifier, "hash"},
        {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
    };
    for (const auto& [nid, value] : extensions) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        if (!ext) throw std::runtime_error("sample server: cannot build a certificate extension");
        X509_add_ext(cert.get(), ext, -1);
        X509_EXTENSION_free(ext);
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        throw std::runtime_error("sample server: cannot sign the certificate");

    GeneratedCertificate out;
    std::unique_ptr<BIO, decltype(&BIO_free)> certBio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(certBio.get(), cert.get());
    out.certificatePEM = bioText(certBio.get());
    std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    out.privateKeyPEM = bioText(keyBio.get());
    int length = i2d_X509(cert.get(), nullptr);
    out.certificateDER.resize(static_cast<size_t>(std::max(length, 0)));
    unsigned char* p = out.certificateDER.data();
    i2d_X509(cert.get(), &p);
    return out;
}

// ---- Routes ---------------------------------------------------------------------------------

struct CompiledRoute {
    Route route;
    std::regex pattern;
    int remaining;
};

std::shared_ptr<CompiledRoute> compile(Route route) {
    auto compiled = std::make_shared<CompiledRoute>();
    compiled->pattern = std::regex(route.pathPattern, std::regex::ECMAScript);
    compiled->remaining = route.times;
    compiled->route = std::move(route);
    return compiled;
}

// A route's wait as the timers take it, never more than the longest the server waits.
std::chrono::steady_clock::duration waitOf(double seconds) {
    const double bounded = std::clamp(seconds, 0.0, kMaxDelaySeconds);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(bounded));
}

bool looksLikeJSON(const std::string& body) {
    return !body.empty() && nlohmann::json::accept(body);
}

// The route's body, with the echoed fields of a JSON request copied in.
std::string echoed(const Route& route, const std::string& requestBody) {
    if (route.echoFields.empty()) return route.body;
    auto answer = nlohmann::json::parse(route.body.empty() ? "{}" : route.body, nullptr, false);
    auto request = nlohmann::json::parse(requestBody, nullptr, false);
    if (!answer.is_object() || !request.is_object()) return route.body;
    for (const auto& field : route.echoFields)
        if (request.contains(field)) answer[field] = request[field];
    return answer.dump();
}

// ---- Websocket peers ------------------------------------------------------------------------

struct Outgoing {
    enum class Kind { text, binary, close, drop } kind = Kind::text;
    std::string data;
    uint16_t code = 1000;
};

// A connected websocket client as the server's io thread sees it.
class WebSocketPeer {
public:
    virtual ~WebSocketPeer() = default;
    virtual void send(Outgoing message) = 0;
};

}  // namespace

std::string JournalEntry::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name)) return value;
    return "";
}

// ---- The server -----------------------------------------------------------------------------

struct SampleServer::Impl {
    explicit Impl(ServerOptions o) : options(std::move(o)) {}
    ~Impl() { stop(); }

    ServerOptions options;

    // Lifetime: start() creates these, stop() tears them down (the io context last).
    std::unique_ptr<asio::io_context> ioc;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::unique_ptr<asio::ssl::context> sslContext;
    std::thread thread;
    std::future<void> ranOut;
    std::atomic<uint16_t> port{0};
    GeneratedCertificate certificate;

    // Shared with callers: guarded by mutex.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::shared_ptr<CompiledRoute>> routes;  // highest priority first
    std::vector<JournalEntry> journal;
    size_t journalCleared = 0;  // entries dropped by clearJournal(): journal[0] is request number journalCleared
    bool webSocketEcho = false;
    std::vector<std::string> webSocketOnConnect;
    std::vector<std::string> webSocketReceived;
    size_t webSocketPings = 0;
    size_t webSocketClients = 0;

    // Touched only on the io thread.
    bool stopping = false;
    uint64_t nextConnectionId = 0;
    std::map<uint64_t, std::function<void()>> aborts;
    std::map<uint64_t, std::weak_ptr<WebSocketPeer>> peers;

    // Registers a connection so that stop() can tear it down; the abort action closes its socket
    // and cancels whatever it waits for.
    class Connection {
    public:
        explicit Connection(Impl& impl) : impl_(impl), id_(++impl.nextConnectionId) {}
        ~Connection() { impl_.aborts.erase(id_); }
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        void setAbort(std::function<void()> abort) {
            if (impl_.stopping) {
                abort();
                return;
            }
            impl_.aborts[id_] = std::move(abort);
        }
        uint64_t id() const { return id_; }

    private:
        Impl& impl_;
        uint64_t id_;
    };

    void start();
    void stop();

    std::shared_ptr<CompiledRoute> match(const std::string& method, const std::string& path);
    size_t record(JournalEntry entry);
    void recordAnswer(size_t index, int status);
    double secondsSinceStart() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
    }
    const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();

    awaitable<void> acceptLoop();
    awaitable<void> session(tcp::socket socket);
    template <class Stream>
    awaitable<void> serveHttp(Stream stream, Connection& connection);
    template <class Stream>
    awaitable<void> serveWebSocket(Stream stream, http::request<http::string_body> request,
                                   Connection& connection);

    void postToPeers(Outgoing message) {
        if (!ioc) return;
        asio::post(*ioc, [this, message] {
            for (auto& [id, weak] : peers)
                if (auto peer = weak.lock()) peer->send(message);
        });
    }
};

namespace {

template <class Stream>
void closeLowest(Stream& stream) {
    beast::error_code ignored;
    beast::get_lowest_layer(stream).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(stream).socket().close(ignored);
}

// Turns off the websocket's own timer, which would otherwise keep the io context busy after a
// failed handshake.
template <class Ws>
void disarm(Ws& ws) {
    websocket::stream_base::timeout off{};
    off.handshake_timeout = websocket::stream_base::none();
    off.idle_timeout = websocket::stream_base::none();
    off.keep_alive_pings = false;
    ws.set_option(off);
}

template <class Stream>
class WebSocketSession final : public WebSocketPeer,
                               public std::enable_shared_from_this<WebSocketSession<Stream>> {
public:
    explicit WebSocketSession(Stream&& stream) : ws(std::move(stream)) {}

    // Frames sent before the opening handshake is over wait for it.
    void send(Outgoing message) override {
        if (closed_) return;
        queue_.push_back(std::move(message));
        startWriting();
    }

    // The handshake is over: the greeting goes out first, then whatever was queued meanwhile.
    void opened(std::vector<std::string> greeting) {
        for (auto it = greeting.rbegin(); it != greeting.rend(); ++it)
            queue_.push_front({Outgoing::Kind::text, std::move(*it)});
        open_ = true;
        startWriting();
    }

    websocket::stream<Stream> ws;

private:
    // Writes queued frames one at a time; the stream allows only one write in flight.
    static awaitable<void> drain(std::shared_ptr<WebSocketSession> self) {
        while (!self->queue_.empty() && !self->closed_) {
            Outgoing message = std::move(self->queue_.front());
            self->queue_.pop_front();
            beast::error_code ec;
            if (message.kind == Outgoing::Kind::close) {
                // The reason goes as it is, UTF-8 or not, as a faulty server may send it.
                websocket::close_reason reason(message.code);
                reason.reason.assign(message.data.data(), std::min(message.data.size(), reason.reason.max_size()));
                std::tie(ec) = co_await self->ws.async_close(reason, kTuple);
                self->closed_ = true;
            } else if (message.kind == Outgoing::Kind::drop) {
                closeLowest(self->ws);
                self->closed_ = true;
            } else {
                self->ws.text(message.kind == Outgoing::Kind::text);
                std::size_t written = 0;
                std::tie(ec, written) = co_await self->ws.async_write(asio::buffer(message.data), kTuple);
            }
            if (ec) self->closed_ = true;
        }
        self->queue_.clear();
        self->writing_ = false;
    }

    void startWriting() {
        if (!open_ || writing_ || queue_.empty()) return;
        writing_ = true;
        asio::co_spawn(ws.get_executor(), drain(this->shared_from_this()), asio::detached);
    }

    std::deque<Outgoing> queue_;
    bool open_ = false;
    bool writing_ = false;
    bool closed_ = false;
};

}  // namespace

void SampleServer::Impl::start() {
    if (ioc) return;
    // Everything is made aside first: a start that throws (the port is taken, the certificate
    // cannot be made) leaves the server as it was, safe to destroy and to start again.
    if (options.tls && !sslContext) {
        GeneratedCertificate generated = generateCertificate();
        auto context = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
        context->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                             asio::ssl::context::no_sslv3);
        context->use_certificate_chain(asio::buffer(generated.certificatePEM));
        context->use_private_key(asio::buffer(generated.privateKeyPEM), asio::ssl::context::pem);
        certificate = std::move(generated);
        sslContext = std::move(context);
    }
    auto context = std::make_unique<asio::io_context>(1);
    auto listener = std::make_unique<tcp::acceptor>(*context);
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), options.port);
    beast::error_code ec;
    // "bind: Address already in use", as a person reads it.
    auto check = [&ec](const char* step) {
        if (ec) throw std::system_error(std::error_code(ec), step);
    };
    listener->open(endpoint.protocol(), ec);
    check("open");
    listener->set_option(asio::socket_base::reuse_address(true), ec);
    check("setsockopt");
    listener->bind(endpoint, ec);
    check("bind");
    listener->listen(asio::socket_base::max_listen_connections, ec);
    check("listen");
    const uint16_t bound = listener->local_endpoint(ec).port();
    check("getsockname");

    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    ioc = std::move(context);
    acceptor = std::move(listener);
    stopping = false;
    asio::co_spawn(*ioc, acceptLoop(), asio::detached);
    ranOut = std::move(done);
    try {
        thread = std::thread([this, finished = std::move(finished)]() mutable {
            for (;;) {
                try {
                    ioc->run();
                    break;
                } catch (...) {
                    // A handler threw: keep serving the other connections.
                }
            }
            finished.set_value();
        });
    } catch (...) {
        ranOut = {};
        acceptor.reset();
        ioc.reset();
        throw;
    }
    port = bound;
}

void SampleServer::Impl::stop() {
    if (!ioc) return;
    asio::post(*ioc, [this] {
        stopping = true;
        beast::error_code ignored;
        acceptor->close(ignored);
        auto pending = aborts;
        for (auto& [id, abort] : pending) abort();
    });
    // Every connection ends once its socket is closed; if one does not, stop the loop outright.
    if (!ranOut.valid() || ranOut.wait_for(std::chrono::seconds(5)) != std::future_status::ready) ioc->stop();
    if (thread.joinable()) thread.join();
    ranOut = {};
    acceptor.reset();
    ioc.reset();  // destroys whatever handlers were left
    peers.clear();
    aborts.clear();
    std::lock_guard lock(mutex);
    webSocketClients = 0;
}

std::shared_ptr<CompiledRoute> SampleServer::Impl::match(const std::string& method, const std::string& path) {
    std::lock_guard lock(mutex);
    for (auto& route : routes) {
        if (route->remaining == 0) continue;
        if (route->route.method != "*" && !equalsIgnoringCase(route->route.method, method)) continue;
        if (!std::regex_match(path, route->pattern)) continue;
        if (route->remaining > 0) --route->remaining;
        return route;
    }
    return nullptr;
}

size_t SampleServer::Impl::record(JournalEntry entry) {
    size_t index;
    {
        std::lock_guard lock(mutex);
        entry.receivedAt = secondsSinceStart();
        journal.push_back(std::move(entry));
        index = journalCleared + journal.size() - 1;
    }
    changed.notify_all();
    return index;
}

void SampleServer::Impl::recordAnswer(size_t index, int status) {
    {
        std::lock_guard lock(mutex);
        // The journal may have been cleared meanwhile: the request's entry is then gone, and the
        // entry now at its place belongs to a later request.
        if (index >= journalCleared && index - journalCleared < journal.size()) {
            journal[index - journalCleared].answeredAt = secondsSinceStart();
            journal[index - journalCleared].status = status;
        }
    }
    changed.notify_all();
}

awaitable<void> SampleServer::Impl::acceptLoop() {
    for (;;) {
        auto [ec, socket] = co_await acceptor->async_accept(kTuple);
        if (stopping || !acceptor->is_open()) co_return;
        if (ec) continue;
        asio::co_spawn(*ioc, session(std::move(socket)), asio::detached);
    }
}

awaitable<void> SampleServer::Impl::session(tcp::socket socket) {
    Connection connection(*this);
    if (sslContext) {
        beast::ssl_stream<beast::tcp_stream> stream(std::move(socket), *sslContext);
        connection.setAbort([&stream] { closeLowest(stream); });
        beast::get_lowest_layer(stream).expires_after(std::chrono::seconds(30));
        auto [ec] = co_await stream.async_handshake(asio::ssl::stream_base::server, kTuple);
        if (ec) co_return;
        co_await serveHttp(std::move(stream), connection);
    } else {
        co_await serveHttp(beast::tcp_stream(std::move(socket)), connection);
    }
}

template <class Stream>
awaitable<void> SampleServer::Impl::serveHttp(Stream stream, Connection& connection) {
    std::unique_ptr<asio::steady_timer> delay;
    connection.setAbort([&stream, &delay] {
        closeLowest(stream);
        if (delay) delay->cancel();
    });
    beast::flat_buffer buffer;
    for (;;) {
        http::request_parser<http::string_body> parser;
        parser.body_limit(512 * 1024 * 1024);
        beast::get_lowest_layer(stream).expires_after(std::chrono::seconds(300));
        auto [readError, readBytes] = co_await http::async_read(stream, buffer, parser, kTuple);
        if (readError) {
            if (readError.category() == http::make_error_code(http::error::bad_method).category() &&
                readError != http::error::end_of_stream && readError != http::error::partial_message &&
                !stopping) {
                http::response<http::string_body> bad(http::status::bad_request, 11);
                bad.set(http::field::content_type, "application/json");
                bad.body() = R"({"error":"bad request"})";
                bad.keep_alive(false);
                bad.prepare_payload();
                co_await http::async_write(stream, bad, kTuple);
            }
            closeLowest(stream);
            co_return;
        }
        http::request<http::string_body> request = parser.release();

        JournalEntry entry;
        entry.method = std::string(request.method_string());
        std::string target(request.target());
        auto question = target.find('?');
        entry.path = target.substr(0, question);
        if (question != std::string::npos) entry.query = target.substr(question + 1);
        for (const auto& field : request) entry.headers.emplace_back(field.name_string(), field.value());
        entry.body = request.body();
        const std::string path = entry.path;
        const std::string method = entry.method;
        const size_t journalIndex = record(std::move(entry));

        if (websocket::is_upgrade(request) && path == options.webSocketPath) {
            beast::get_lowest_layer(stream).expires_never();
            co_await serveWebSocket(std::move(stream), std::move(request), connection);
            co_return;
        }

        auto route = match(method, path);
        if (route && route->route.delaySeconds > 0) {
            delay = std::make_unique<asio::steady_timer>(stream.get_executor());
            delay->expires_after(waitOf(route->route.delaySeconds));
            co_await delay->async_wait(kTuple);
            delay.reset();
            if (stopping) co_return;
        }
        if (route && route->route.closeConnection) {
            closeLowest(stream);
            co_return;
        }

        http::response<http::string_body> response;
        response.version(request.version());
        response.set(http::field::server, "brindlecue-sample-server");
        size_t rangeStart = 0;
        if (route && !route->route.basicAuth.empty() &&
            std::string(request[http::field::authorization]) != "Basic " + base64(route->route.basicAuth)) {
            response.result(http::status::unauthorized);
            response.set(http::field::www_authenticate, "Basic realm=\"sample\"");
            response.set(http::field::content_type, "application/json");
            response.body() = R"({"error":"unauthorized"})";
        } else if (route && !route->route.etag.empty() &&
                   std::string(request[http::field::if_none_match]) == route->route.etag) {
            response.result(http::status::not_modified);
            response.set(http::field::etag, route->route.etag);
            for (const auto& [name, value] : route->route.headers)
                if (equalsIgnoringCase(name, "Cache-Control")) response.insert(name, value);
        } else if (route) {
            response.result(static_cast<unsigned>(route->route.status));
            bool hasType = false;
            for (const auto& [name, value] : route->route.headers) {
                response.insert(name, value);
                hasType = hasType || equalsIgnoringCase(name, "Content-Type");
            }
            response.body() = echoed(route->route, request.body());
            if (!hasType && !response.body().empty())
                response.set(http::field::content_type, looksLikeJSON(response.body())
                                                            ? "application/json"
                                                            : "text/plain; charset=utf-8");
            if (!route->route.etag.empty()) response.set(http::field::etag, route->route.etag);
            if (route->route.acceptsRanges) {
                response.set(http::field::accept_ranges, "bytes");
                std::string range(request[http::field::range]);
                std::string ifRange(request[http::field::if_range]);
                size_t start = 0;
                if (range.rfind("bytes=", 0) == 0 && range.back() == '-' &&
                    (ifRange.empty() || ifRange == route->route.etag)) {
                    try {
                        start = std::stoull(range.substr(6, range.size() - 7));
                    } catch (const std::exception&) {
                        start = 0;
                    }
                }
                const size_t total = response.body().size();
                if (start > 0 && start < total) {
                    rangeStart = start;
                    response.result(http::status::partial_content);
                    response.set(http::field::content_range, "bytes " + std::to_string(start) + "-" +
                                                                 std::to_string(total - 1) + "/" +
                                                                 std::to_string(total));
                    response.body() = response.body().substr(start);
                }
            }
        } else {
            response.result(http::status::not_found);
            response.set(http::field::content_type, "application/json");
            response.body() =
                nlohmann::json{{"error", "not found"}, {"method", method}, {"path", path}}.dump();
        }
        response.keep_alive(request.keep_alive());
        if (request.method() == http::verb::head) {
            response.content_length(response.body().size());
            response.body().clear();
        } else {
            response.prepare_payload();
        }
        recordAnswer(journalIndex, static_cast<int>(response.result_int()));
        beast::error_code writeError;
        // A ranged answer that starts at or past the pause point does not pause.
        long long stallAt = -1;
        if (route && route->route.stallAfterBytes >= 0 &&
            (rangeStart == 0 || route->route.stallAfterBytes > static_cast<long long>(rangeStart))) {
            stallAt = route->route.stallAfterBytes - static_cast<long long>(rangeStart);
        }
        if (route && stallAt >= 0 && static_cast<size_t>(stallAt) < response.body().size()) {
            // The head and the first bytes, a pause, then the rest.
            std::ostringstream wire;
            wire << response.base();
            std::string head = wire.str();
            std::string first = head + response.body().substr(0, static_cast<size_t>(stallAt));
            std::string rest = response.body().substr(static_cast<size_t>(stallAt));
            std::tie(writeError, std::ignore) =
                co_await asio::async_write(stream, asio::buffer(first), kTuple);
            if (!writeError) {
                delay = std::make_unique<asio::steady_timer>(stream.get_executor());
                delay->expires_after(waitOf(route->route.stallSeconds));
                co_await delay->async_wait(kTuple);
                delay.reset();
                if (stopping) co_return;
                std::tie(writeError, std::ignore) =
                    co_await asio::async_write(stream, asio::buffer(rest), kTuple);
            }
        } else {
            std::tie(writeError, std::ignore) = co_await http::async_write(stream, response, kTuple);
        }
        if (writeError || !request.keep_alive()) {
            closeLowest(stream);
            co_return;
        }
    }
}

template <class Stream>
awaitable<void> SampleServer::Impl::serveWebSocket(Stream stream, http::request<http::string_body> request,
                                                   Connection& connection) {
    auto peer = std::make_shared<WebSocketSession<Stream>>(std::move(stream));
    connection.setAbort([raw = peer.get()] {
        closeLowest(raw->ws);
        disarm(raw->ws);
    });
    // Registered before the handshake, so that a client that sees its connection open is already
    // counted and reached by broadcasts.
    peers[connection.id()] = peer;
    {
        std::lock_guard lock(mutex);
        ++webSocketClients;
    }
    changed.notify_all();
    struct Finally {
        Impl& impl;
        uint64_t id;
        WebSocketSession<Stream>& session;
        ~Finally() {
            closeLowest(session.ws);
            disarm(session.ws);
            impl.peers.erase(id);
            {
                std::lock_guard lock(impl.mutex);
                if (impl.webSocketClients > 0) --impl.webSocketClients;
            }
            impl.changed.notify_all();
        }
    } finally{*this, connection.id(), *peer};
    peer->ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    peer->ws.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& res) { res.set(http::field::server, "brindlecue-sample-server"); }));
    peer->ws.control_callback([this](websocket::frame_type kind, beast::string_view) {
        if (kind != websocket::frame_type::ping) return;
        {
            std::lock_guard lock(mutex);
            ++webSocketPings;
        }
        changed.notify_all();
    });
    auto [acceptError] = co_await peer->ws.async_accept(request, kTuple);
    if (acceptError) co_return;

    std::vector<std::string> greeting;
    {
        std::lock_guard lock(mutex);
        greeting = webSocketOnConnect;
    }
    peer->opened(std::move(greeting));

    for (;;) {
        beast::flat_buffer buffer;
        auto [ec, n] = co_await peer->ws.async_read(buffer, kTuple);
        if (ec) break;
        std::string data = beast::buffers_to_string(buffer.data());
        bool text = peer->ws.got_text();
        bool echo;
        {
            std::lock_guard lock(mutex);
            if (text) webSocketReceived.push_back(data);
            echo = webSocketEcho;
        }
        changed.notify_all();
        if (echo) peer->send({text ? Outgoing::Kind::text : Outgoing::Kind::binary, std::move(data)});
    }
}

// ---- Public interface -----------------------------------------------------------------------

SampleServer::SampleServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
SampleServer::~SampleServer() = default;

void SampleServer::start() {
    impl_->start();
}
void SampleServer::stop() {
    impl_->stop();
}
uint16_t SampleServer::port() const {
    return impl_->port;
}

std::string SampleServer::baseURL() const {
    return std::string(impl_->options.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port());
}

void SampleServer::addRoute(Route route) {
    auto compiled = compile(std::move(route));
    std::lock_guard lock(impl_->mutex);
    impl_->routes.insert(impl_->routes.begin(), std::move(compiled));
}

void SampleServer::clearRoutes() {
    std::lock_guard lock(impl_->mutex);
    impl_->routes.clear();
}

bool SampleServer::loadScenario(const std::string& text, std::string* error) {
    using nlohmann::json;
    std::vector<std::shared_ptr<CompiledRoute>> routes;
    std::optional<bool> echo;
    std::optional<std::vector<std::string>> onConnect;
    auto fail = [error](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 16: ...": the line and
        // column are what a person editing the file needs.
        std::string message = e.what();
        if (auto at = message.find("] "); message.rfind("[json.exception", 0) == 0 && at != std::string::npos)
            message.erase(0, at + 2);
        return fail(message);
    }
    if (!doc.is_object()) return fail("the document is not an object with \"routes\" and \"websocket\"");
    for (const auto& [key, value] : doc.items())
        if (key != "routes" && key != "websocket")
            return fail("unknown key \"" + key + "\" (the document has \"routes\" and \"websocket\")");

    if (doc.contains("routes")) {
        const json& list = doc.at("routes");
        if (!list.is_array()) return fail("\"routes\" is not an array");
        for (size_t index = 0; index < list.size(); ++index) {
            const json& item = list[index];
            // "route 3 (POST /v3/logs)": its place in the list (from 1) and what it answers.
            std::string where = "route " + std::to_string(index + 1);
            if (!item.is_object()) return fail(where + " is not an object");
            if (!item.contains("path") || !item.at("path").is_string())
                return fail(where + " has no \"path\" string");
            Route route;
            route.pathPattern = item.at("path").get<std::string>();
            if (item.contains("method")) {
                if (!item.at("method").is_string()) return fail(where + ": \"method\" is not a string");
                route.method = item.at("method").get<std::string>();
            }
            where += " (" + route.method + " " + route.pathPattern + ")";
            for (const auto& [key, value] : item.items()) {
                static const char* const kKeys[] = {"method", "path",  "status", "headers", "body",
                                                    "delay",  "close", "times",  "echo"};
                if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
                    return fail(where + ": unknown key \"" + key + "\"");
            }
            if (item.contains("status")) {
                const json& status = item.at("status");
                if (!status.is_number_integer() || status.get<long long>() < 100 ||
                    status.get<long long>() > 999)
                    return fail(where + ": \"status\" must be a whole number from 100 to 999");
                route.status = status.get<int>();
            }
            if (item.contains("headers")) {
                if (!item.at("headers").is_object()) return fail(where + ": \"headers\" is not an object");
                for (const auto& [name, value] : item.at("headers").items())
                    route.headers.emplace_back(name,
                                               value.is_string() ? value.get<std::string>() : value.dump());
            }
            if (item.contains("body")) {
                const json& body = item.at("body");
                route.body = body.is_string() ? body.get<std::string>() : body.dump();
            }
            if (item.contains("delay")) {
                const json& delay = item.at("delay");
                if (!delay.is_number() || delay.get<double>() < 0 || delay.get<double>() > kMaxDelaySeconds)
                    return fail(where + ": \"delay\" must be a number of seconds from 0 to " +
                                std::to_string(static_cast<long long>(kMaxDelaySeconds)));
                route.delaySeconds = delay.get<double>();
            }
            if (item.contains("close")) {
                if (!item.at("close").is_boolean()) return fail(where + ": \"close\" is not true or false");
                route.closeConnection = item.at("close").get<bool>();
            }
            if (item.contains("times")) {
                const json& times = item.at("times");
                if (!times.is_number_integer() || times.get<long long>() < -1 ||
                    times.get<long long>() > std::numeric_limits<int>::max())
                    return fail(where + ": \"times\" must be a whole number, -1 for every request");
                route.times = times.get<int>();
            }
            if (item.contains("echo")) {
                const json& fields = item.at("echo");
                if (!fields.is_array() ||
                    !std::all_of(fields.begin(), fields.end(), [](const json& f) { return f.is_string(); }))
                    return fail(where + ": \"echo\" is not an array of field names");
                route.echoFields = fields.get<std::vector<std::string>>();
            }
            try {
                routes.push_back(compile(std::move(route)));
            } catch (const std::regex_error& e) {
                return fail(where + ": \"path\" is not a regular expression (" + e.what() + ")");
            }
        }
    }
    if (doc.contains("websocket")) {
        const json& ws = doc.at("websocket");
        if (!ws.is_object()) return fail("\"websocket\" is not an object");
        for (const auto& [key, value] : ws.items())
            if (key != "echo" && key != "on_connect")
                return fail("websocket: unknown key \"" + key + "\" (it has \"echo\" and \"on_connect\")");
        if (ws.contains("echo")) {
            if (!ws.at("echo").is_boolean()) return fail("websocket: \"echo\" is not true or false");
            echo = ws.at("echo").get<bool>();
        }
        if (ws.contains("on_connect")) {
            if (!ws.at("on_connect").is_array()) return fail("websocket: \"on_connect\" is not an array");
            onConnect.emplace();
            for (const json& message : ws.at("on_connect"))
                onConnect->push_back(message.is_string() ? message.get<std::string>() : message.dump());
        }
    }
    std::lock_guard lock(impl_->mutex);
    impl_->routes = std::move(routes);
    if (echo) impl_->webSocketEcho = *echo;
    if (onConnect) impl_->webSocketOnConnect = std::move(*onConnect);
    return true;
}

std::vector<JournalEntry> SampleServer::journal() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->journal;
}

void SampleServer::clearJournal() {
    std::lock_guard lock(impl_->mutex);
    impl_->journalCleared += impl_->journal.size();
    impl_->journal.clear();
}

bool SampleServer::waitForRequests(size_t n, double timeoutSeconds) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                   [&] { return impl_->journal.size() >= n; });
}

std::string SampleServer::certificatePEM() const {
    return impl_->certificate.certificatePEM;
}
std::vector<uint8_t> SampleServer::certificateDER() const {
    return impl_->certificate.certificateDER;
}

void SampleServer::setWebSocketEcho(bool echo) {
    std::lock_guard lock(impl_->mutex);
    impl_->webSocketEcho = echo;
}

void SampleServer::setWebSocketOnConnect(std::vector<std::string> messages) {
    std::lock_guard lock(impl_->mutex);
    impl_->webSocketOnConnect = std::move(messages);
}

void SampleServer::sendWebSocketText(const std::string& text) {
    impl_->postToPeers({Outgoing::Kind::text, text});
}

void SampleServer::sendWebSocketBinary(const std::string& data) {
    impl_->postToPeers({Outgoing::Kind::binary, data});
}

void SampleServer::closeWebSockets(uint16_t code, const std::string& reason) {
    impl_->postToPeers({Outgoing::Kind::close, reason, code});
}

void SampleServer::dropWebSockets() {
    impl_->postToPeers({Outgoing::Kind::drop, {}});
}

size_t SampleServer::webSocketClientCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->webSocketClients;
}

std::vector<std::string> SampleServer::webSocketReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->webSocketReceived;
}

bool SampleServer::waitForWebSocketMessages(size_t n, double timeoutSeconds) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                   [&] { return impl_->webSocketReceived.size() >= n; });
}

size_t SampleServer::webSocketPingsReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->webSocketPings;
}

}  // namespace brindlecue::sampleserver
