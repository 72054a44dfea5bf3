#include "platform/foundation/URLLoader.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/AppContainer.h"
#include "platform/Bundle.h"
#include "platform/Crypto.h"
#include "platform/Device.h"
#include "platform/SystemLog.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue::platform {

namespace {

constexpr int kMaximumRedirects = 16;
constexpr size_t kMaximumRedirectBody = 1 << 20;
constexpr int64_t kFileDoesNotExist = -1100;
constexpr int64_t kRequestBodyStreamExhausted = -1021;

SystemLog& log() {
    static auto* l = new SystemLog("com.brindlecue.platform", "URLLoader");
    return *l;
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string defaultUserAgent() {
    std::string name = "Brindlecue", version = "1";
    if (auto bundle = Bundle::main()) {
        Value executable = bundle->objectForInfoDictionaryKey(Bundle::kExecutableKey);
        Value build = bundle->objectForInfoDictionaryKey(Bundle::kVersionKey);
        if (executable.isString() && !executable.stringValue().empty()) name = executable.stringValue();
        if (build.isString() && !build.stringValue().empty()) version = build.stringValue();
    }
    // The device the build stands for, not the machine it runs on.
    return name + "/" + version + " URLSession/1.0 (" + Device::model() + "; " + Device::systemName() + " " +
           Device::systemVersion() + ")";
}

// Connections, TLS sessions, DNS answers and cookies of one URL session, shared by its transfers.
struct SessionShare {
    CURLSH* share = curl_share_init();
    std::mutex locks[CURL_LOCK_DATA_LAST];

    SessionShare() {
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &SessionShare::lock);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &SessionShare::unlock);
        curl_share_setopt(share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    }
    ~SessionShare() { curl_share_cleanup(share); }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SessionShare*>(self)->locks[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) { static_cast<SessionShare*>(self)->locks[data].unlock(); }
};

// One HTTP task on the worker thread: its curl handle, body source, answer being parsed and the
// decisions it waits for. Touched only on the worker thread (the TLS check included, which runs
// inside curl on that thread).
struct Transfer : std::enable_shared_from_this<Transfer> {
    enum class Kind { DelegateData, CompletionData, Download };
    enum class Trust { Undecided, Accepted, Untrusted, Cancelled };

    std::shared_ptr<URLSessionTask> task;
    std::shared_ptr<URLSession> session;
    std::shared_ptr<SessionShare> share;
    Kind kind = Kind::DelegateData;

    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    bool inMulti = false;
    bool finished = false;

    URLRequest request;
    URL url = *URL::fromString("http://localhost/");
    int redirects = 0;

    // Body source: bytes, a file or a stream.
    std::shared_ptr<const Data> bodyData;
    size_t bodyOffset = 0;
    FILE* bodyFile = nullptr;
    std::shared_ptr<InputStream> bodyStream;
    int64_t bodyLength = 0;
    bool hasBody = false;
    curl_off_t bodyRead = 0;  // bytes handed to curl, for progress

    // The answer being read.
    int status = 0;
    bool sawStatusLine = false;
    bool headersDone = false;
    HTTPHeaderFields fields;
    bool redirecting = false;
    std::optional<URL> location;
    std::shared_ptr<HTTPURLResponse> redirectResponse;
    Data redirectBody;

    // Waiting for the delegate.
    bool awaitingDisposition = false;
    bool awaitingRedirect = false;
    bool suspended = false;
    bool doneWhileAwaiting = false;
    CURLcode doneCode = CURLE_OK;
    Data pendingBody;

    std::optional<Error> abortError;
    Trust trust = Trust::Undecided;

    double timeout = 60;
    double lastActivity = 0;
    Clock::TimerId timer = 0;

    curl_off_t reportedUp = 0;
    FILE* downloadFile = nullptr;
    std::string downloadPath;
    bool keepDownloadFile = false;  // the partial file of resume data
    int64_t resumeOffset = 0;       // bytes of the partial file a resumed download goes on from
    std::string resumeValidator;

    // The URL cache: the kept answer being revalidated, and the body of an answer that may be kept.
    std::shared_ptr<URLCache> cache;
    std::shared_ptr<CachedURLResponse> cached;
    bool storeBody = false;
    Data cacheBody;

    // A 401 with a challenge: its body is held (in redirectBody) until the delegate has answered.
    bool challenged = false;
    bool awaitingChallenge = false;
    std::shared_ptr<HTTPURLResponse> challengeResponse;
    std::optional<std::string> realm;
    int authFailures = 0;
    std::shared_ptr<URLCredential> credential;
};

// The value of a Cache-Control directive ("max-age" gives its number text), or none.
std::optional<std::string> cacheDirective(const std::optional<std::string>& header, const std::string& name) {
    if (!header) return std::nullopt;
    std::string text = lower(*header);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(',', at);
        std::string item =
            trim(std::string_view(text).substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
        auto equals = item.find('=');
        if (trim(std::string_view(item).substr(0, equals)) != name) continue;
        return equals == std::string::npos ? "" : trim(std::string_view(item).substr(equals + 1));
    }
    return std::nullopt;
}

// Seconds since 1970 of an HTTP date, or none.
std::optional<double> httpDate(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    time_t t = curl_getdate(text->c_str(), nullptr);
    if (t == -1) return std::nullopt;
    return static_cast<double>(t);
}

// Whether a kept answer may be used without asking the server, by its freshness lifetime
// (max-age, else Expires against Date, else a tenth of the time since Last-Modified).
bool isFresh(const HTTPURLResponse& response, double storedAt) {
    auto control = response.valueForHTTPHeaderField("Cache-Control");
    if (cacheDirective(control, "no-cache") || cacheDirective(control, "must-revalidate")) return false;
    double age = Clock::now() - storedAt;
    if (auto maxAge = cacheDirective(control, "max-age")) {
        char* end = nullptr;
        double seconds = std::strtod(maxAge->c_str(), &end);
        return end != maxAge->c_str() && age < seconds;
    }
    auto date = httpDate(response.valueForHTTPHeaderField("Date")).value_or(storedAt);
    if (auto expires = httpDate(response.valueForHTTPHeaderField("Expires"))) return age < *expires - date;
    if (auto modified = httpDate(response.valueForHTTPHeaderField("Last-Modified"))) {
        return age < (date - *modified) / 10;
    }
    return false;
}

}  // namespace

struct URLLoader::Impl {
    CURLM* multi = nullptr;
    std::mutex mutex;
    std::deque<std::function<void()>> commands;
    std::map<URLSessionTask*, std::shared_ptr<Transfer>> transfers;  // worker thread only
    std::atomic<size_t> inFlight{0};  // tasks started and not yet ended
    std::string userAgent = defaultUserAgent();

    Impl() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        multi = curl_multi_init();
        std::thread([this] { run(); }).detach();
    }

    void post(std::function<void()> command) {
        {
            std::lock_guard lock(mutex);
            commands.push_back(std::move(command));
        }
        curl_multi_wakeup(multi);
    }

    void run() {
        for (;;) {
            std::deque<std::function<void()>> batch;
            {
                std::lock_guard lock(mutex);
                batch.swap(commands);
            }
            for (auto& command : batch) command();
            int running = 0;
            curl_multi_perform(multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE) continue;
                Transfer* raw = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &raw);
                CURLcode code = message->data.result;
                if (raw) onDone(raw->shared_from_this(), code);
            }
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }

    std::shared_ptr<Transfer> find(URLSessionTask* task) {
        auto it = transfers.find(task);
        return it == transfers.end() ? nullptr : it->second;
    }

    // ---- starting -------------------------------------------------------------------------------

    void start(const std::shared_ptr<URLSessionTask>& task) {
        auto session = task->session();
        auto request = task->currentRequest();
        if (!session || !request) {
            task->complete(URLError::make(URLError::Cancelled));
            --inFlight;
            return;
        }
        auto t = std::make_shared<Transfer>();
        t->task = task;
        t->session = session;
        t->request = *request;
        if (std::dynamic_pointer_cast<URLSessionDownloadTask>(task)) {
            t->kind = Transfer::Kind::Download;
        } else if (auto data = std::dynamic_pointer_cast<URLSessionDataTask>(task); data && data->completion_) {
            t->kind = Transfer::Kind::CompletionData;
        }
        const auto& config = session->configuration();
        t->timeout = request->hasExplicitTimeout() ? request->timeoutInterval() : config.timeoutIntervalForRequest;
        transfers[task.get()] = t;

        if (auto download = std::dynamic_pointer_cast<URLSessionDownloadTask>(task);
            download && download->invalidResumeData_) {
            return finish(t, URLError::make(URLError::CannotOpenFile));
        }
        if (!request->url()) return finish(t, URLError::make(URLError::UnsupportedURL));
        t->url = *request->url();
        std::string scheme = lower(t->url.scheme().value_or(""));
        if (scheme != "http" && scheme != "https") return finish(t, URLError::make(URLError::UnsupportedURL, t->url));
        if (!t->url.host()) return finish(t, URLError::make(URLError::BadURL, t->url));

        if (auto upload = std::dynamic_pointer_cast<URLSessionUploadTask>(task)) {
            if (upload->bodyData_) {
                t->bodyData = std::make_shared<const Data>(*upload->bodyData_);
            } else if (upload->bodyFile_) {
                t->bodyFile = std::fopen(upload->bodyFile_->path().c_str(), "rb");
                if (!t->bodyFile) return finish(t, URLError::make(kFileDoesNotExist, t->url));
            } else {
                t->bodyStream = request->httpBodyStream();
            }
        } else if (request->httpBody()) {
            t->bodyData = std::make_shared<const Data>(*request->httpBody());
        } else {
            t->bodyStream = request->httpBodyStream();
        }
        measureBody(t);

        if (t->kind == Transfer::Kind::Download) {
            auto download = std::static_pointer_cast<URLSessionDownloadTask>(task);
            if (download->resume_) {
                t->downloadPath = download->resume_->path;
                t->resumeOffset = download->resume_->offset;
                t->resumeValidator = download->resume_->validator;
                t->downloadFile = std::fopen(t->downloadPath.c_str(), "ab");
                if (!t->downloadFile) return finish(t, URLError::make(URLError::CannotOpenFile, t->url));
            } else if (!openDownloadFile(t)) {
                return finish(t, URLError::make(URLError::CannotCreateFile, t->url));
            }
        } else if (t->request.httpMethod() == "GET" && (t->cache = config.urlCache)) {
            auto policy = t->request.cachePolicy();
            bool lookUp = policy != URLRequest::CachePolicy::ReloadIgnoringLocalCacheData &&
                          policy != URLRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData;
            auto kept = lookUp ? t->cache->cachedResponseForRequest(t->request) : nullptr;
            auto keptHTTP = kept ? std::dynamic_pointer_cast<HTTPURLResponse>(kept->response()) : nullptr;
            if (keptHTTP) {
                if (isFresh(*keptHTTP, t->cache->storedDateForRequest(t->request).value_or(0))) {
                    return serveFromCache(t, kept, keptHTTP);
                }
                if (keptHTTP->valueForHTTPHeaderField("ETag") ||
                    keptHTTP->valueForHTTPHeaderField("Last-Modified")) {
                    t->cached = kept;
                }
            }
        }
        setup(t);
    }

    bool openDownloadFile(const std::shared_ptr<Transfer>& t) {
        std::error_code ec;
        auto dir = AppContainer::temporaryDirectory();
        std::filesystem::create_directories(dir, ec);
        t->downloadPath = (dir / ("CFNetworkDownload_" + Crypto::uuidString() + ".tmp")).string();
        t->downloadFile = std::fopen(t->downloadPath.c_str(), "wb");
        return t->downloadFile != nullptr;
    }

    // A fresh kept answer: no traffic at all.
    void serveFromCache(const std::shared_ptr<Transfer>& t, const std::shared_ptr<CachedURLResponse>& kept,
                        const std::shared_ptr<HTTPURLResponse>& response) {
        t->headersDone = true;
        t->redirectBody = kept->data();
        finishWithHeldAnswer(t, response);
    }

    void measureBody(const std::shared_ptr<Transfer>& t) {
        t->hasBody = t->bodyData || t->bodyFile || t->bodyStream;
        t->bodyLength = 0;
        if (t->bodyData) {
            t->bodyLength = static_cast<int64_t>(t->bodyData->size());
        } else if (t->bodyFile) {
            std::fseek(t->bodyFile, 0, SEEK_END);
            t->bodyLength = std::ftell(t->bodyFile);
            std::fseek(t->bodyFile, 0, SEEK_SET);
        } else if (t->bodyStream) {
            t->bodyLength = -1;
            if (auto length = t->request.valueForHTTPHeaderField("Content-Length")) {
                std::string text = trim(*length);
                if (!text.empty() && text.size() < 19 && text.find_first_not_of("0123456789") == std::string::npos) {
                    t->bodyLength = std::stoll(text);
                }
            }
        }
        t->task->bytesExpectedToSend_ = t->hasBody ? t->bodyLength : 0;
    }

    // Makes the curl handle for the transfer's current request and adds it to the multi handle.
    void setup(const std::shared_ptr<Transfer>& t) {
        CURL* e = curl_easy_init();
        if (!e) return finish(t, URLError::make(URLError::Unknown, t->url));
        t->easy = e;
        const auto& config = t->session->configuration();

        std::string urlText = t->url.absoluteString();
        if (auto hash = urlText.find('#'); hash != std::string::npos) urlText.erase(hash);
        curl_easy_setopt(e, CURLOPT_URL, urlText.c_str());
        curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(e, CURLOPT_HTTP09_ALLOWED, 0L);
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::onWrite);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
        curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
        curl_easy_setopt(e, CURLOPT_XFERINFODATA, t.get());
        curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);

        // Header fields: the request's own, then the session's additional ones it lacks.
        HTTPHeaderFields all = t->request.allHTTPHeaderFields();
        for (const auto& [name, value] : config.httpAdditionalHeaders) {
            if (!t->request.valueForHTTPHeaderField(name)) all.emplace_back(name, value);
        }
        bool hasUserAgent = false;
        for (const auto& [name, value] : all) {
            if (headerNameEquals(name, "Content-Length")) continue;  // set from the body
            if (headerNameEquals(name, "User-Agent")) hasUserAgent = true;
            std::string line = value.empty() ? name + ";" : name + ": " + value;
            t->headerList = curl_slist_append(t->headerList, line.c_str());
        }
        // Revalidating a kept answer, going on with a partial download.
        if (t->cached) {
            const auto& kept = static_cast<const HTTPURLResponse&>(*t->cached->response());
            if (auto tag = kept.valueForHTTPHeaderField("ETag");
                tag && !t->request.valueForHTTPHeaderField("If-None-Match")) {
                t->headerList = curl_slist_append(t->headerList, ("If-None-Match: " + *tag).c_str());
            }
            if (auto date = kept.valueForHTTPHeaderField("Last-Modified");
                date && !t->request.valueForHTTPHeaderField("If-Modified-Since")) {
                t->headerList = curl_slist_append(t->headerList, ("If-Modified-Since: " + *date).c_str());
            }
        }
        if (t->resumeOffset > 0) {
            t->headerList = curl_slist_append(
                t->headerList, ("Range: bytes=" + std::to_string(t->resumeOffset) + "-").c_str());
            t->headerList = curl_slist_append(t->headerList, ("If-Range: " + t->resumeValidator).c_str());
        }
        if (t->credential && t->credential->user()) {
            curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(e, CURLOPT_USERNAME, t->credential->user()->c_str());
            curl_easy_setopt(e, CURLOPT_PASSWORD, t->credential->password().value_or("").c_str());
        }
        t->headerList = curl_slist_append(t->headerList, "Expect:");
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headerList);
        if (!hasUserAgent) curl_easy_setopt(e, CURLOPT_USERAGENT, userAgent.c_str());

        const std::string& method = t->request.httpMethod();
        if (method == "HEAD") {
            curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        } else if (method == "GET") {
            curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        } else {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
            if (t->hasBody || method == "POST" || method == "PUT" || method == "PATCH") {
                curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
                curl_easy_setopt(e, CURLOPT_READFUNCTION, &Impl::onRead);
                curl_easy_setopt(e, CURLOPT_READDATA, t.get());
                curl_easy_setopt(e, CURLOPT_SEEKFUNCTION, &Impl::onSeek);
                curl_easy_setopt(e, CURLOPT_SEEKDATA, t.get());
                curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(t->hasBody ? t->bodyLength : 0));
            }
        }

        bool cookies = t->request.httpShouldHandleCookies() && config.httpShouldSetCookies;
        if (cookies) {
            t->share = sessionShare(t->session);
            curl_easy_setopt(e, CURLOPT_SHARE, t->share->share);
            curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
        }
        if (!cookies || t->bodyStream) {
            // Without the session's share a connection could carry another session's trust
            // decision; a stream body cannot be rewound for a retry on a stale connection.
            curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
            curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
            if (!cookies) curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
        }
        if (lower(t->url.scheme().value_or("")) == "https") {
            // The certificate check is ours (onVerify), decided by the session's delegate.
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
            curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &Impl::onSSLContext);
            curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, t.get());
        }

        if (curl_multi_add_handle(multi, e) != CURLM_OK) return finish(t, URLError::make(URLError::Unknown, t->url));
        t->inMulti = true;
        t->lastActivity = Clock::uptime();
        applyPause(t);
        scheduleTimeout(t);
    }

    std::shared_ptr<SessionShare> sessionShare(const std::shared_ptr<URLSession>& session) {
        std::lock_guard lock(session->mutex_);
        if (!session->loaderState_) session->loaderState_ = std::make_shared<SessionShare>();
        return std::static_pointer_cast<SessionShare>(session->loaderState_);
    }

    // ---- curl callbacks (worker thread) ---------------------------------------------------------

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        size_t length = size * count;
        std::string_view raw(data, length);
        while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.remove_suffix(1);
        t->lastActivity = Clock::uptime();
        if (raw.rfind("HTTP/", 0) == 0) {
            auto space = raw.find(' ');
            std::string code = space == std::string_view::npos ? "" : std::string(raw.substr(space + 1, 3));
            if (code.size() != 3 || code.find_first_not_of("0123456789") != std::string::npos) {
                t->abortError = URLError::make(URLError::BadServerResponse, t->url);
                return 0;
            }
            t->status = std::stoi(code);
            t->sawStatusLine = true;
            t->fields.clear();
            return length;
        }
        if (!t->sawStatusLine) return length;
        if (raw.empty()) {
            if (t->status < 200) {
                t->sawStatusLine = false;  // an interim answer; the real one follows
            } else {
                shared().impl_->onHeadersComplete(t->shared_from_this());
                if (t->abortError) return 0;
            }
            return length;
        }
        if (raw[0] == ' ' || raw[0] == '\t') {
            if (!t->fields.empty()) {
                t->fields.back().second += ' ';
                t->fields.back().second += trim(raw);
            }
            return length;
        }
        auto colon = raw.find(':');
        if (colon != std::string_view::npos) t->fields.emplace_back(trim(raw.substr(0, colon)), trim(raw.substr(colon + 1)));
        return length;
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        size_t length = size * count;
        t->lastActivity = Clock::uptime();
        if (t->redirecting || t->challenged) {
            if (t->redirectBody.size() + length <= kMaximumRedirectBody) {
                t->redirectBody.insert(t->redirectBody.end(), data, data + length);
            }
            return length;
        }
        if (t->awaitingDisposition) return CURL_WRITEFUNC_PAUSE;
        if (t->storeBody) {
            if (t->cacheBody.size() + length > t->cache->memoryCapacity() / 20) {
                t->storeBody = false;  // too large to be kept
                Data().swap(t->cacheBody);
            } else {
                t->cacheBody.insert(t->cacheBody.end(), data, data + length);
            }
        }
        return shared().impl_->deliverBody(t->shared_from_this(), reinterpret_cast<const uint8_t*>(data), length)
                   ? length
                   : 0;
    }

    static size_t onRead(char* buffer, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        size_t n = readBody(t, buffer, size * count);
        if (n != CURL_READFUNC_ABORT) t->bodyRead += static_cast<curl_off_t>(n);
        return n;
    }

    static size_t readBody(Transfer* t, char* buffer, size_t max) {
        t->lastActivity = Clock::uptime();
        if (t->bodyData) {
            size_t n = std::min(max, t->bodyData->size() - std::min(t->bodyOffset, t->bodyData->size()));
            std::memcpy(buffer, t->bodyData->data() + t->bodyOffset, n);
            t->bodyOffset += n;
            return n;
        }
        if (t->bodyFile) {
            size_t n = std::fread(buffer, 1, max, t->bodyFile);
            if (n == 0 && std::ferror(t->bodyFile)) {
                t->abortError = URLError::make(URLError::Unknown, t->url);
                return CURL_READFUNC_ABORT;
            }
            return n;
        }
        if (t->bodyStream) {
            auto& stream = *t->bodyStream;
            if (stream.streamStatus() == InputStream::Status::NotOpen) stream.open();
            if (stream.streamStatus() == InputStream::Status::AtEnd) return 0;
            long n = stream.streamStatus() == InputStream::Status::Error ? -1 : stream.read(reinterpret_cast<uint8_t*>(buffer), max);
            if (n < 0) {
                t->abortError = stream.streamError() ? *stream.streamError()
                                                     : URLError::make(kRequestBodyStreamExhausted, t->url);
                return CURL_READFUNC_ABORT;
            }
            return static_cast<size_t>(n);
        }
        return 0;
    }

    static int onSeek(void* user, curl_off_t offset, int origin) {
        auto* t = static_cast<Transfer*>(user);
        if (origin != SEEK_SET) return CURL_SEEKFUNC_CANTSEEK;
        t->bodyRead = offset;
        if (t->bodyData) {
            t->bodyOffset = static_cast<size_t>(offset);
            return CURL_SEEKFUNC_OK;
        }
        if (t->bodyFile) return std::fseek(t->bodyFile, static_cast<long>(offset), SEEK_SET) == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
        return offset == 0 && !t->bodyStream ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_CANTSEEK;
    }

    static int onProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
        auto* t = static_cast<Transfer*>(user);
        // curl counts chunk framing too; what the body gave is the cap.
        curl_off_t sent = std::min(ulnow, t->bodyRead);
        if (sent > t->reportedUp) shared().impl_->reportSent(t->shared_from_this(), sent);
        (void)dlnow;
        return 0;
    }

    // ---- TLS ------------------------------------------------------------------------------------

    static int sslIndex() {
        static int index = SSL_CTX_get_ex_new_index(
            0, nullptr, nullptr, nullptr, [](void*, void* ptr, CRYPTO_EX_DATA*, int, long, void*) {
                delete static_cast<std::weak_ptr<Transfer>*>(ptr);
            });
        return index;
    }

    static CURLcode onSSLContext(CURL*, void* sslContext, void* user) {
        auto* t = static_cast<Transfer*>(user);
        auto* ctx = static_cast<SSL_CTX*>(sslContext);
        // The context may outlive this transfer (with its connection), so it holds a weak reference.
        SSL_CTX_set_ex_data(ctx, sslIndex(), new std::weak_ptr<Transfer>(t->weak_from_this()));
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_cert_verify_callback(ctx, &Impl::onVerify, nullptr);
        return CURLE_OK;
    }

    static int onVerify(X509_STORE_CTX* store, void*) {
        auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto* weak = ssl ? static_cast<std::weak_ptr<Transfer>*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sslIndex()))
                         : nullptr;
        auto t = weak ? weak->lock() : nullptr;
        if (!t || t->finished) return 0;

        std::vector<std::shared_ptr<SecCertificate>> chain;
        auto add = [&](X509* cert) {
            int length = i2d_X509(cert, nullptr);
            if (length <= 0) return;
            Data der(static_cast<size_t>(length));
            unsigned char* out = der.data();
            i2d_X509(cert, &out);
            for (const auto& c : chain) {
                if (c->data() == der) return;
            }
            if (auto c = SecCertificate::createWithData(der)) chain.push_back(c);
        };
        if (X509* leaf = X509_STORE_CTX_get0_cert(store)) add(leaf);
        if (STACK_OF(X509)* peers = X509_STORE_CTX_get0_untrusted(store)) {
            for (int i = 0; i < sk_X509_num(peers); ++i) add(sk_X509_value(peers, i));
        }
        auto trust = SecTrust::create(chain, {SecPolicy::createSSL(true, t->url.host())});
        if (!trust) {
            t->trust = Transfer::Trust::Untrusted;
            return 0;
        }
        std::string host = t->url.host().value_or("");
        int port = t->url.port().value_or(443);
        switch (t->session->decideServerTrust(t->task, trust, host, port, "https")) {
            case URLSession::TrustDecision::Accept:
                t->trust = Transfer::Trust::Accepted;
                t->lastActivity = Clock::uptime();
                return 1;
            case URLSession::TrustDecision::Untrusted:
                t->trust = Transfer::Trust::Untrusted;
                break;
            case URLSession::TrustDecision::Cancelled:
                t->trust = Transfer::Trust::Cancelled;
                break;
        }
        X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }

    // ---- the answer -----------------------------------------------------------------------------

    void onHeadersComplete(const std::shared_ptr<Transfer>& t) {
        t->headersDone = true;
        int s = t->status;
        bool redirectStatus = s == 301 || s == 302 || s == 303 || s == 307 || s == 308;
        std::optional<std::string> locationText;
        for (const auto& [name, value] : t->fields) {
            if (headerNameEquals(name, "Location")) locationText = value;
        }
        if (redirectStatus && locationText) {
            auto target = URL::fromString(*locationText, t->url);
            std::string scheme = target ? lower(target->scheme().value_or("")) : "";
            if (target && (scheme == "http" || scheme == "https")) {
                t->redirecting = true;
                t->location = target->absoluteURL();
                t->redirectResponse = std::make_shared<HTTPURLResponse>(t->url, s, t->fields);
                return;
            }
        }
        auto response = std::make_shared<HTTPURLResponse>(t->url, s, t->fields);
        if (s == 304 && t->cached) {
            // The kept answer is still good: it is the answer, and it is kept afresh.
            auto kept = t->cached;
            t->cached.reset();
            t->cache->storeCachedResponse(kept, t->request);
            auto keptResponse = std::static_pointer_cast<HTTPURLResponse>(kept->response());
            t->storeBody = false;
            t->pendingBody = kept->data();
            deliverResponse(t, keptResponse);
            if (!t->awaitingDisposition) {
                Data body = std::move(t->pendingBody);
                t->pendingBody.clear();
                deliverBody(t, body.data(), body.size());
            }
            return;
        }
        if (s == 401 && !t->request.valueForHTTPHeaderField("Authorization")) {
            if (auto realm = basicChallengeRealm(response->valueForHTTPHeaderField("WWW-Authenticate"))) {
                t->challenged = true;
                t->challengeResponse = response;
                t->realm = *realm;
                return;
            }
        }
        if (t->kind == Transfer::Kind::Download) {
            if (!resumeOrRestart(t, *response)) return;
        } else if (t->cache && t->request.httpMethod() == "GET" && (s == 200 || s == 203)) {
            auto control = response->valueForHTTPHeaderField("Cache-Control");
            t->storeBody = !cacheDirective(control, "no-store") &&
                           !cacheDirective(t->request.valueForHTTPHeaderField("Cache-Control"), "no-store");
            t->cacheBody.clear();
        }
        deliverResponse(t, response);
    }

    // The realm of a Basic challenge ("" when it names none); none for other schemes.
    static std::optional<std::string> basicChallengeRealm(const std::optional<std::string>& header) {
        if (!header || lower(header->substr(0, 5)) != "basic") return std::nullopt;
        auto at = lower(*header).find("realm=");
        if (at == std::string::npos) return std::string();
        std::string realm = header->substr(at + 6);
        if (!realm.empty() && realm.front() == '"') {
            realm.erase(0, 1);
            realm = realm.substr(0, realm.find('"'));
        } else {
            realm = realm.substr(0, realm.find(','));
        }
        return realm;
    }

    // A resumed download: 206 goes on after the partial file, any other answer starts it again.
    // Reports where it goes on. False when the file cannot be started again.
    bool resumeOrRestart(const std::shared_ptr<Transfer>& t, const HTTPURLResponse& response) {
        if (t->resumeOffset <= 0) return true;
        int64_t offset = t->resumeOffset;
        t->resumeOffset = 0;
        int64_t length = response.expectedContentLength();
        if (response.statusCode() != 206) {
            offset = 0;
            std::fclose(t->downloadFile);
            t->downloadFile = std::fopen(t->downloadPath.c_str(), "wb");
            if (!t->downloadFile) {
                t->abortError = URLError::make(URLError::CannotWriteToFile, t->url);
                return false;
            }
        }
        t->task->bytesReceived_ = offset;
        int64_t expected = length < 0 ? URLResponse::kUnknownLength : offset + length;
        auto download = std::static_pointer_cast<URLSessionDownloadTask>(t->task);
        auto delegate = t->session->delegate();
        if (delegate && !download->completion_) {
            t->task->enqueueDelegateCall([delegate, session = t->session, download, offset, expected] {
                delegate->downloadTaskDidResumeAtOffset(session, download, offset, expected);
            });
        }
        return true;
    }

    void deliverResponse(const std::shared_ptr<Transfer>& t, std::shared_ptr<HTTPURLResponse> response) {
        t->task->setResponse(response);
        t->task->bytesExpectedToReceive_ = response->expectedContentLength();
        if (t->kind != Transfer::Kind::DelegateData) return;
        auto delegate = t->session->delegate();
        if (!delegate) return;
        t->awaitingDisposition = true;
        auto dataTask = std::static_pointer_cast<URLSessionDataTask>(t->task);
        std::weak_ptr<Transfer> weak = t;
        t->task->enqueueDelegateCall([this, weak, delegate, session = t->session, dataTask, response] {
            delegate->dataTaskDidReceiveResponse(session, dataTask, response,
                                                 [this, weak](URLSessionResponseDisposition disposition) {
                                                     post([this, weak, disposition] {
                                                         if (auto t = weak.lock()) decided(t, disposition);
                                                     });
                                                 });
        });
    }

    void decided(const std::shared_ptr<Transfer>& t, URLSessionResponseDisposition disposition) {
        if (t->finished || !t->awaitingDisposition) return;
        t->awaitingDisposition = false;
        t->lastActivity = Clock::uptime();
        if (disposition == URLSessionResponseDisposition::BecomeDownload &&
            t->kind == Transfer::Kind::DelegateData) {
            if (!becomeDownload(t)) return finish(t, t->abortError);
        } else if (disposition != URLSessionResponseDisposition::Allow) {
            return finish(t, URLError::make(URLError::Cancelled, t->url));
        }
        if (!t->pendingBody.empty()) {
            Data body = std::move(t->pendingBody);
            t->pendingBody.clear();
            if (!deliverBody(t, body.data(), body.size())) return finish(t, t->abortError);
        }
        if (t->doneWhileAwaiting) return finish(t, errorFor(t, t->doneCode));
        applyPause(t);
    }

    // False when the bytes could not be taken (the download file cannot be written).
    bool deliverBody(const std::shared_ptr<Transfer>& t, const uint8_t* bytes, size_t length) {
        if (length == 0) return true;
        auto& task = *t->task;
        int64_t total = task.bytesReceived_ += static_cast<int64_t>(length);
        switch (t->kind) {
            case Transfer::Kind::CompletionData:
                static_cast<URLSessionDataTask&>(task).received_.insert(
                    static_cast<URLSessionDataTask&>(task).received_.end(), bytes, bytes + length);
                break;
            case Transfer::Kind::DelegateData:
                if (auto delegate = t->session->delegate()) {
                    auto dataTask = std::static_pointer_cast<URLSessionDataTask>(t->task);
                    t->task->enqueueDelegateCall([delegate, session = t->session, dataTask, data = Data(bytes, bytes + length)] {
                        delegate->dataTaskDidReceiveData(session, dataTask, data);
                    });
                }
                break;
            case Transfer::Kind::Download: {
                if (std::fwrite(bytes, 1, length, t->downloadFile) != length) {
                    t->abortError = URLError::make(URLError::CannotWriteToFile, t->url);
                    return false;
                }
                auto download = std::static_pointer_cast<URLSessionDownloadTask>(t->task);
                if (download->completion_) break;
                if (auto delegate = t->session->delegate()) {
                    int64_t expected = task.bytesExpectedToReceive_;
                    t->task->enqueueDelegateCall([delegate, session = t->session, download, length, total, expected] {
                        delegate->downloadTaskDidWriteData(session, download, static_cast<int64_t>(length), total, expected);
                    });
                }
                break;
            }
        }
        return true;
    }

    void reportSent(const std::shared_ptr<Transfer>& t, curl_off_t now) {
        int64_t delta = now - t->reportedUp;
        t->reportedUp = now;
        t->lastActivity = Clock::uptime();
        t->task->bytesSent_ = now;
        auto delegate = t->session->delegate();
        if (!delegate) return;
        int64_t expected = t->hasBody ? t->bodyLength : 0;
        t->task->enqueueDelegateCall([delegate, session = t->session, task = t->task, delta, total = int64_t{now}, expected] {
            delegate->taskDidSendBodyData(session, task, delta, total, expected);
        });
    }

    void onDone(const std::shared_ptr<Transfer>& t, CURLcode code) {
        if (t->inMulti) {
            curl_multi_remove_handle(multi, t->easy);
            t->inMulti = false;
        }
        if (t->finished) return;
        if (code == CURLE_OK && t->bodyRead > t->reportedUp) reportSent(t, t->bodyRead);
        if (code == CURLE_OK && t->redirecting) return redirect(t);
        if (code == CURLE_OK && t->challenged) return challenge(t);
        if (code == CURLE_OK && !t->headersDone) return finish(t, URLError::make(URLError::BadServerResponse, t->url));
        if (t->awaitingDisposition) {
            t->doneWhileAwaiting = true;
            t->doneCode = code;
            return;
        }
        finish(t, errorFor(t, code));
    }

    std::optional<Error> errorFor(const std::shared_ptr<Transfer>& t, CURLcode code) {
        if (t->trust == Transfer::Trust::Cancelled) return URLError::make(URLError::Cancelled, t->url);
        if (t->trust == Transfer::Trust::Untrusted) return URLError::make(URLError::ServerCertificateUntrusted, t->url);
        if (code == CURLE_OK) return std::nullopt;
        if (t->abortError) return t->abortError;
        int64_t c = URLError::Unknown;
        switch (code) {
            case CURLE_URL_MALFORMAT: c = URLError::BadURL; break;
            case CURLE_COULDNT_RESOLVE_HOST: c = URLError::CannotFindHost; break;
            case CURLE_COULDNT_CONNECT: {
                long osError = 0;
                if (t->easy) curl_easy_getinfo(t->easy, CURLINFO_OS_ERRNO, &osError);
                c = osError == ENETUNREACH || osError == ENETDOWN ? URLError::NotConnectedToInternet
                                                                  : URLError::CannotConnectToHost;
                break;
            }
            case CURLE_OPERATION_TIMEDOUT: c = URLError::TimedOut; break;
            case CURLE_UNSUPPORTED_PROTOCOL:  // an answer without a status line (HTTP/0.9)
            case CURLE_WEIRD_SERVER_REPLY: c = URLError::BadServerResponse; break;
            case CURLE_GOT_NOTHING:
            case CURLE_SEND_ERROR:
            case CURLE_RECV_ERROR:
            case CURLE_PARTIAL_FILE:
            case CURLE_SEND_FAIL_REWIND: c = URLError::NetworkConnectionLost; break;
            case CURLE_SSL_CONNECT_ERROR:
            case CURLE_SSL_CERTPROBLEM:
            case CURLE_SSL_CIPHER:
            case CURLE_PEER_FAILED_VERIFICATION: c = URLError::SecureConnectionFailed; break;
            case CURLE_TOO_MANY_REDIRECTS: c = URLError::HTTPTooManyRedirects; break;
            case CURLE_BAD_CONTENT_ENCODING: c = URLError::CannotDecodeContentData; break;
            default: break;
        }
        return URLError::make(c, t->url);
    }

    // ---- redirections ---------------------------------------------------------------------------

    void redirect(const std::shared_ptr<Transfer>& t) {
        if (++t->redirects > kMaximumRedirects) return finish(t, URLError::make(URLError::HTTPTooManyRedirects, t->url));
        URLRequest next = t->request;
        next.setURL(*t->location);
        const std::string& method = t->request.httpMethod();
        int s = t->status;
        bool toGet = (s == 303 && method != "HEAD") || ((s == 301 || s == 302) && method == "POST");
        if (toGet) {
            next.setHTTPMethod("GET");
            next.setHTTPBody(std::nullopt);
            next.setHTTPBodyStream(nullptr);
            next.setValue(std::nullopt, "Content-Type");
            next.setValue(std::nullopt, "Content-Length");
        }
        auto delegate = t->session->delegate();
        if (!delegate) return follow(t, next);
        t->awaitingRedirect = true;
        std::weak_ptr<Transfer> weak = t;
        t->task->enqueueDelegateCall([this, weak, delegate, session = t->session, task = t->task,
                                      response = t->redirectResponse, next] {
            delegate->taskWillPerformHTTPRedirection(session, task, response, next,
                                                     [this, weak](std::optional<URLRequest> request) {
                                                         post([this, weak, request] {
                                                             if (auto t = weak.lock()) redirectDecided(t, request);
                                                         });
                                                     });
        });
    }

    void redirectDecided(const std::shared_ptr<Transfer>& t, const std::optional<URLRequest>& request) {
        if (t->finished || !t->awaitingRedirect) return;
        t->awaitingRedirect = false;
        t->lastActivity = Clock::uptime();
        if (request) return follow(t, *request);

        // Refused: the redirection answer is the final one.
        t->redirecting = false;
        finishWithHeldAnswer(t, t->redirectResponse);
    }

    // The held answer (redirectBody) is the task's answer, and the load is over.
    void finishWithHeldAnswer(const std::shared_ptr<Transfer>& t,
                              const std::shared_ptr<HTTPURLResponse>& response) {
        t->pendingBody = std::move(t->redirectBody);
        t->redirectBody.clear();
        deliverResponse(t, response);
        if (t->awaitingDisposition) {
            t->doneWhileAwaiting = true;
            t->doneCode = CURLE_OK;
            return;
        }
        Data body = std::move(t->pendingBody);
        t->pendingBody.clear();
        if (!deliverBody(t, body.data(), body.size())) return finish(t, t->abortError);
        finish(t, std::nullopt);
    }

    // ---- authentication --------------------------------------------------------------------------

    void challenge(const std::shared_ptr<Transfer>& t) {
        std::string scheme = lower(t->url.scheme().value_or("http"));
        URLProtectionSpace space(t->url.host().value_or(""),
                                 t->url.port().value_or(scheme == "https" ? 443 : 80), scheme,
                                 URLProtectionSpace::kHTTPBasic, nullptr, t->realm);
        URLAuthenticationChallenge challenge(space, t->authFailures, t->challengeResponse);
        auto delegate = t->session->delegate();
        if (!delegate)
            return challengeDecided(t, URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
        t->awaitingChallenge = true;
        std::weak_ptr<Transfer> weak = t;
        t->task->enqueueDelegateCall([this, weak, delegate, session = t->session, task = t->task, challenge] {
            delegate->taskDidReceiveChallenge(session, task, challenge,
                                              [this, weak](URLSessionAuthChallengeDisposition disposition,
                                                           std::shared_ptr<URLCredential> credential) {
                                                  post([this, weak, disposition, credential] {
                                                      if (auto t = weak.lock())
                                                          challengeDecided(t, disposition, credential);
                                                  });
                                              });
        });
    }

    void challengeDecided(const std::shared_ptr<Transfer>& t, URLSessionAuthChallengeDisposition disposition,
                          const std::shared_ptr<URLCredential>& credential) {
        if (t->finished) return;
        t->awaitingChallenge = false;
        t->lastActivity = Clock::uptime();
        if (disposition == URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge) {
            return finish(t, URLError::make(URLError::Cancelled, t->url));
        }
        if (disposition == URLSessionAuthChallengeDisposition::UseCredential && credential &&
            credential->user()) {
            t->credential = credential;
            ++t->authFailures;
            return follow(t, t->request);
        }
        // Default handling (no credentials are stored here), a rejected protection space or no
        // credential: the 401 is the answer.
        t->challenged = false;
        finishWithHeldAnswer(t, t->challengeResponse);
    }

    // ---- caching and downloads -------------------------------------------------------------------

    // A complete answer that may be kept goes to the URL cache, through the delegate for tasks
    // that report to one.
    void proposeCaching(const std::shared_ptr<Transfer>& t) {
        auto response = std::dynamic_pointer_cast<HTTPURLResponse>(t->task->response());
        if (!response) return;
        auto proposed = std::make_shared<CachedURLResponse>(response, std::move(t->cacheBody));
        auto cache = t->cache;
        URLRequest request = t->request;
        auto delegate = t->session->delegate();
        if (t->kind != Transfer::Kind::DelegateData || !delegate)
            return cache->storeCachedResponse(proposed, request);
        auto dataTask = std::static_pointer_cast<URLSessionDataTask>(t->task);
        t->task->enqueueDelegateCall([delegate, session = t->session, dataTask, proposed, cache, request] {
            delegate->dataTaskWillCacheResponse(
                session, dataTask, proposed, [cache, request](std::shared_ptr<CachedURLResponse> response) {
                    if (response) cache->storeCachedResponse(response, request);
                });
        });
    }

    // The data task's load goes on as a download task.
    bool becomeDownload(const std::shared_ptr<Transfer>& t) {
        auto dataTask = std::static_pointer_cast<URLSessionDataTask>(t->task);
        auto download = t->session->becomeDownloadTask(dataTask);
        if (!download) {
            t->abortError = URLError::make(URLError::Cancelled, t->url);
            return false;
        }
        transfers.erase(dataTask.get());
        transfers[download.get()] = t;
        t->task = download;
        t->kind = Transfer::Kind::Download;
        t->storeBody = false;
        if (!openDownloadFile(t)) {
            t->abortError = URLError::make(URLError::CannotCreateFile, t->url);
            return false;
        }
        if (auto delegate = t->session->delegate()) {
            download->enqueueDelegateCall([delegate, session = t->session, dataTask, download] {
                delegate->dataTaskDidBecomeDownloadTask(session, dataTask, download);
            });
        }
        return true;
    }

    void cancelProducingResumeData(const std::shared_ptr<URLSessionDownloadTask>& task,
                                   std::function<void(std::optional<Data>)> completion) {
        std::optional<Data> resumeData;
        if (auto t = find(task.get()); t && !t->finished && t->downloadFile) {
            auto response = std::dynamic_pointer_cast<HTTPURLResponse>(task->response());
            std::optional<std::string> validator;
            if (response) validator = response->valueForHTTPHeaderField("ETag");
            if (response && !validator) validator = response->valueForHTTPHeaderField("Last-Modified");
            std::fflush(t->downloadFile);
            int64_t written = std::ftell(t->downloadFile);
            int status = response ? response->statusCode() : 0;
            if (validator && written > 0 && (status == 200 || status == 206) &&
                t->request.httpMethod() == "GET") {
                Value info = Value::dictionary();
                info.set(URLSession::kResumeURLKey, t->url.absoluteString());
                info.set(URLSession::kResumeBytesKey, written);
                info.set(URLSession::kResumeFileKey, t->downloadPath);
                info.set(URLSession::kResumeValidatorKey, *validator);
                resumeData = info.toPropertyList(PropertyListFormat::Binary);
                t->keepDownloadFile = resumeData.has_value();
            }
        }
        if (completion) task->enqueueDelegateCall([completion, resumeData] { completion(resumeData); });
        cancel(task);
    }

    void follow(const std::shared_ptr<Transfer>& t, const URLRequest& request) {
        bool keepsBody = request.httpMethod() != "GET" && request.httpMethod() != "HEAD";
        if (!request.url()) return finish(t, URLError::make(URLError::UnsupportedURL));
        // A credential given for one server is never sent to another.
        const URL& next = *request.url();
        if (t->credential && (lower(next.scheme().value_or("")) != lower(t->url.scheme().value_or("")) ||
                              lower(next.host().value_or("")) != lower(t->url.host().value_or("")) ||
                              next.port() != t->url.port())) {
            t->credential.reset();
            t->authFailures = 0;
        }
        t->request = request;
        t->url = *request.url();
        t->task->setCurrentRequest(request);
        resetAnswer(t);

        if (!keepsBody) {
            dropBody(t);
            return restart(t);
        }
        if (t->bodyData) {
            t->bodyOffset = 0;
        } else if (t->bodyFile) {
            std::fseek(t->bodyFile, 0, SEEK_SET);
        } else if (t->bodyStream) {
            // The stream was read; the delegate has to give a fresh one.
            auto delegate = t->session->delegate();
            if (!delegate) return finish(t, URLError::make(kRequestBodyStreamExhausted, t->url));
            t->awaitingRedirect = true;
            std::weak_ptr<Transfer> weak = t;
            t->task->enqueueDelegateCall([this, weak, delegate, session = t->session, task = t->task] {
                delegate->taskNeedNewBodyStream(session, task, [this, weak](std::shared_ptr<InputStream> stream) {
                    post([this, weak, stream] {
                        auto t = weak.lock();
                        if (!t || t->finished || !t->awaitingRedirect) return;
                        t->awaitingRedirect = false;
                        if (!stream) return finish(t, URLError::make(kRequestBodyStreamExhausted, t->url));
                        t->bodyStream->close();
                        t->bodyStream = stream;
                        restart(t);
                    });
                });
            });
            return;
        }
        restart(t);
    }

    void resetAnswer(const std::shared_ptr<Transfer>& t) {
        t->status = 0;
        t->sawStatusLine = t->headersDone = t->redirecting = false;
        t->fields.clear();
        t->location.reset();
        t->redirectResponse.reset();
        t->redirectBody.clear();
        t->reportedUp = 0;
        t->bodyRead = 0;
        t->challenged = false;
        t->challengeResponse.reset();
        t->storeBody = false;
        t->cacheBody.clear();
    }

    void dropBody(const std::shared_ptr<Transfer>& t) {
        t->bodyData.reset();
        if (t->bodyFile) std::fclose(t->bodyFile);
        t->bodyFile = nullptr;
        if (t->bodyStream) t->bodyStream->close();
        t->bodyStream.reset();
        t->hasBody = false;
        t->bodyLength = 0;
    }

    void restart(const std::shared_ptr<Transfer>& t) {
        releaseHandle(t);
        setup(t);
    }

    // ---- suspension, time-outs, cancellation ---------------------------------------------------

    void applyPause(const std::shared_ptr<Transfer>& t) {
        if (!t->inMulti) return;
        int bits = t->suspended ? CURLPAUSE_ALL : t->awaitingDisposition ? CURLPAUSE_RECV : CURLPAUSE_CONT;
        curl_easy_pause(t->easy, bits);
    }

    void scheduleTimeout(const std::shared_ptr<Transfer>& t) {
        if (t->timer) Clock::cancel(t->timer);
        t->timer = 0;
        if (t->timeout <= 0 || t->finished) return;
        std::weak_ptr<Transfer> weak = t;
        t->timer = Clock::schedule(t->lastActivity + t->timeout, [this, weak] {
            post([this, weak] {
                if (auto t = weak.lock()) checkTimeout(t);
            });
        });
    }

    void checkTimeout(const std::shared_ptr<Transfer>& t) {
        t->timer = 0;
        if (t->finished) return;
        double now = Clock::uptime();
        // A suspended task, or one waiting for its delegate, is not idle.
        if (t->suspended || t->awaitingDisposition || t->awaitingRedirect || t->awaitingChallenge) {
            t->lastActivity = now;
        }
        if (now - t->lastActivity >= t->timeout - 1e-6) return finish(t, URLError::make(URLError::TimedOut, t->url));
        scheduleTimeout(t);
    }

    void releaseHandle(const std::shared_ptr<Transfer>& t) {
        if (t->easy) {
            if (t->inMulti) curl_multi_remove_handle(multi, t->easy);
            curl_easy_cleanup(t->easy);
        }
        t->easy = nullptr;
        t->inMulti = false;
        if (t->headerList) curl_slist_free_all(t->headerList);
        t->headerList = nullptr;
    }

    void finish(const std::shared_ptr<Transfer>& t, std::optional<Error> error) {
        if (t->finished) return;
        t->finished = true;
        if (t->timer) Clock::cancel(t->timer);
        t->timer = 0;
        releaseHandle(t);
        dropBody(t);
        transfers.erase(t->task.get());

        if (t->downloadFile) {
            std::fclose(t->downloadFile);
            t->downloadFile = nullptr;
            auto download = std::static_pointer_cast<URLSessionDownloadTask>(t->task);
            auto delegate = t->session->delegate();
            if (error) {
                std::error_code ec;
                if (!t->keepDownloadFile) std::filesystem::remove(t->downloadPath, ec);
            } else if (download->completion_) {
                download->location_ = URL::fileURL(t->downloadPath);
            } else {
                t->task->enqueueDelegateCall([delegate, session = t->session, download, path = t->downloadPath] {
                    if (delegate) delegate->downloadTaskDidFinishDownloadingToURL(session, download, URL::fileURL(path));
                    std::error_code ec;
                    std::filesystem::remove(path, ec);
                });
            }
        }
        if (!error && t->storeBody) proposeCaching(t);
        if (error && error->code() != URLError::Cancelled) {
            log().log(LogType::Debug, "Task <" + std::to_string(t->task->taskIdentifier()) + "> finished with error " +
                                          std::to_string(error->code()));
        }
        t->task->complete(std::move(error));
        --inFlight;
    }

    void cancel(const std::shared_ptr<URLSessionTask>& task) {
        if (auto t = find(task.get())) return finish(t, URLError::make(URLError::Cancelled, t->url));
        auto request = task->currentRequest();
        task->complete(URLError::make(URLError::Cancelled, request ? request->url() : std::nullopt));
    }

    void setSuspended(const std::shared_ptr<URLSessionTask>& task, bool suspended) {
        auto t = find(task.get());
        if (!t || t->finished) return;
        t->suspended = suspended;
        if (!suspended) t->lastActivity = Clock::uptime();
        applyPause(t);
    }
};

URLLoader& URLLoader::shared() {
    static auto* loader = new URLLoader();
    return *loader;
}

URLLoader::URLLoader() : impl_(new Impl()) {}

void URLLoader::start(const std::shared_ptr<URLSessionTask>& task) {
    ++impl_->inFlight;
    impl_->post([impl = impl_, task] { impl->start(task); });
}

bool URLLoader::transfersInFlight() const {
    return impl_->inFlight.load() > 0;
}

void URLLoader::setSuspended(const std::shared_ptr<URLSessionTask>& task, bool suspended) {
    impl_->post([impl = impl_, task, suspended] { impl->setSuspended(task, suspended); });
}

void URLLoader::cancel(const std::shared_ptr<URLSessionTask>& task) {
    impl_->post([impl = impl_, task] { impl->cancel(task); });
}

void URLLoader::cancelProducingResumeData(
    const std::shared_ptr<URLSessionDownloadTask>& task,
    std::function<void(std::optional<std::vector<uint8_t>>)> completion) {
    impl_->post([impl = impl_, task, completion = std::move(completion)]() mutable {
        impl->cancelProducingResumeData(task, std::move(completion));
    });
}

}  // namespace brindlecue::platform
