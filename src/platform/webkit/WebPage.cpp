#include "platform/webkit/WebPage.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <utility>

#include <duktape.h>

#include "platform/Utf8.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/webkit/WKError.h"

namespace brindlecue::platform {

using SteadyClock = std::chrono::steady_clock;

struct WebPage::Engine {
    WebPage* page = nullptr;
    std::string url;
    Limits limits;
    Hooks hooks;
    duk_context* ctx = nullptr;
    size_t used = 0;
    // Outside an entry of the app the deadline lies in the past: nothing runs unbounded.
    SteadyClock::time_point deadline = SteadyClock::time_point::min();
    bool timedOut = false;
    int depth = 0;
    uint32_t lastTimer = 0;
    int timerNesting = 0;
    // Live timers and how deeply each was nested when it was set.
    std::map<uint32_t, int> timers;
};

namespace {

// ---- Memory: every block carries its size, so the heap's total stays under the page's cap.

constexpr size_t kHeader = alignof(std::max_align_t);

WebPage::Engine& engineOf(void* udata) {
    return *static_cast<WebPage::Engine*>(udata);
}

// Past the deadline every allocation fails too: the engine checks the deadline only between
// bytecode instructions, but a long built-in call (a join over a huge sparse array) allocates as
// it goes, and fails out of the call.
bool pastDeadline(WebPage::Engine& e) {
    if (e.depth == 0 || SteadyClock::now() < e.deadline) return false;
    e.timedOut = true;
    return true;
}

void* pageAlloc(void* udata, duk_size_t size) {
    WebPage::Engine& e = engineOf(udata);
    if (size == 0 || size > e.limits.memoryLimit - e.used || pastDeadline(e)) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    e.used += size;
    return block + kHeader;
}

void pageFree(void* udata, void* ptr) {
    if (ptr == nullptr) return;
    unsigned char* block = static_cast<unsigned char*>(ptr) - kHeader;
    duk_size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    engineOf(udata).used -= size;
    std::free(block);
}

void* pageRealloc(void* udata, void* ptr, duk_size_t size) {
    if (ptr == nullptr) return pageAlloc(udata, size);
    if (size == 0) {
        pageFree(udata, ptr);
        return nullptr;
    }
    WebPage::Engine& e = engineOf(udata);
    unsigned char* block = static_cast<unsigned char*>(ptr) - kHeader;
    duk_size_t old = 0;
    std::memcpy(&old, block, sizeof old);
    if (size > old && (size - old > e.limits.memoryLimit - e.used || pastDeadline(e))) return nullptr;
    auto* moved = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
    if (moved == nullptr) return nullptr;
    std::memcpy(moved, &size, sizeof size);
    e.used = e.used - old + size;
    return moved + kHeader;
}

// Every call into the engine is protected, so this means the engine itself is broken.
void pageFatal(void*, const char* message) {
    std::fprintf(stderr, "web page script engine: fatal error: %s\n", message != nullptr ? message : "");
    std::abort();
}

// One entry of the app into the engine, with its deadline.
class Entry {
public:
    explicit Entry(WebPage::Engine& e) : e_(e) {
        if (e_.depth++ == 0) renew();
    }
    // A new deadline, for what the app does with the engine after the page's code returned (its
    // error's text, its result's JSON form).
    void renew() {
        e_.timedOut = false;
        e_.deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                               std::chrono::duration<double>(e_.limits.scriptTimeLimit));
    }
    ~Entry() {
        if (--e_.depth == 0) e_.deadline = SteadyClock::time_point::min();
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

private:
    WebPage::Engine& e_;
};

WebPage::Engine& engineOf(duk_context* ctx) {
    duk_memory_functions functions;
    duk_get_memory_functions(ctx, &functions);
    return engineOf(functions.udata);
}

// ---- Texts leaving the engine. The engine keeps text as extended UTF-8, where a pair of
// surrogates made by the page ("\uD83D\uDE00") is two three-byte sequences.

bool decodeAt(const unsigned char* p, size_t n, size_t i, uint32_t& cp, size_t& len) {
    auto cont = [&](size_t k) { return k < n && (p[k] & 0xC0) == 0x80; };
    unsigned char c = p[i];
    if (c < 0x80) {
        cp = c;
        len = 1;
        return true;
    }
    if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
        cp = ((c & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
        len = 2;
        return true;
    }
    if (c >= 0xE0 && c <= 0xEF && cont(i + 1) && cont(i + 2)) {
        cp = ((c & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
        len = 3;
        return cp >= 0x800;
    }
    if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
        cp =
            ((c & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
        len = 4;
        return cp >= 0x10000 && cp <= 0x10FFFF;
    }
    return false;
}

std::string wellFormed(const char* text, size_t n) {
    std::string out;
    if (text == nullptr) return out;
    out.reserve(n);
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    constexpr uint32_t kReplacement = 0xFFFD;
    size_t i = 0;
    while (i < n) {
        uint32_t cp = 0;
        size_t len = 0;
        if (!decodeAt(p, n, i, cp, len)) {
            appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low = 0;
            size_t lowLen = 0;
            if (i + len < n && decodeAt(p, n, i + len, low, lowLen) && low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                len += lowLen;
            } else {
                cp = kReplacement;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(out, cp);
        i += len;
    }
    return out;
}

std::string wellFormedAt(duk_context* ctx, duk_idx_t index) {
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, index, &length);
    return wellFormed(text, length);
}

// ---- Natives behind the browser globals. The engine throws by unwinding C frames, so a native
// keeps no C++ object alive across an engine call that may throw: its C++ work happens in a
// helper that returns first, catches everything, and reports by its result.

bool takeMessage(WebPage::Engine& e, const char* name, const char* json, size_t length) noexcept {
    try {
        Value body;
        if (json != nullptr) {
            auto parsed = Value::fromJSON(wellFormed(json, length));
            if (!parsed) return false;
            body = std::move(*parsed);
        }
        return e.hooks.postMessage &&
               e.hooks.postMessage(wellFormed(name, std::strlen(name)), std::move(body));
    } catch (...) {
        return false;
    }
}

bool hasHandler(WebPage::Engine& e, const char* name) noexcept {
    try {
        return e.hooks.hasMessageHandler && e.hooks.hasMessageHandler(wellFormed(name, std::strlen(name)));
    } catch (...) {
        return false;
    }
}

void consoleLine(WebPage::Engine& e, const char* level, const char* text, size_t length) noexcept {
    try {
        if (e.hooks.console) e.hooks.console(level, wellFormed(text, length));
    } catch (...) {
    }
}

duk_ret_t nativePost(duk_context* ctx) {
    WebPage::Engine& e = engineOf(ctx);
    const char* name = duk_require_string(ctx, 0);
    const char* json = nullptr;
    duk_size_t length = 0;
    if (!duk_is_undefined(ctx, 1)) {
        duk_dup(ctx, 1);
        duk_json_encode(ctx, -1);
        json = duk_get_lstring(ctx, -1, &length);
        if (json == nullptr) return duk_type_error(ctx, "the message has no JSON form");
    }
    if (length > e.limits.maxMessageBytes) {
        return duk_range_error(ctx, "the message is larger than %lu bytes",
                               static_cast<unsigned long>(e.limits.maxMessageBytes));
    }
    if (!takeMessage(e, name, json, length)) return duk_range_error(ctx, "the message was not taken");
    return 0;
}

duk_ret_t nativeHas(duk_context* ctx) {
    WebPage::Engine& e = engineOf(ctx);
    const char* name = duk_require_string(ctx, 0);
    duk_push_boolean(ctx, hasHandler(e, name) ? 1 : 0);
    return 1;
}

duk_ret_t nativeLog(duk_context* ctx) {
    WebPage::Engine& e = engineOf(ctx);
    const char* level = duk_require_string(ctx, 0);
    duk_size_t length = 0;
    const char* text = duk_require_lstring(ctx, 1, &length);
    consoleLine(e, level, text, length);
    return 0;
}

// Browsers run a delay that is not a number, is negative or does not fit 32 bits at once, and
// hold nested zero-delay timers to 4 ms.
bool scheduleTimer(WebPage::Engine& e, uint32_t id, double delayMs) noexcept {
    try {
        if (!(delayMs >= 0) || delayMs > 2147483647.0) delayMs = 0;
        int level = e.timerNesting + 1;
        if (level > 5 && delayMs < 4) delayMs = 4;
        e.timers[id] = level;
        auto fire = [page = e.page->weak_from_this(), id] {
            if (auto live = page.lock()) live->fireTimer(id);
        };
        if (delayMs <= 0) {
            DispatchQueue::main()->async(std::move(fire));
        } else {
            DispatchQueue::main()->asyncAfter(delayMs / 1000.0, std::move(fire));
        }
        return true;
    } catch (...) {
        e.timers.erase(id);
        return false;
    }
}

bool forgetTimer(WebPage::Engine& e, uint32_t id) noexcept {
    return e.timers.erase(id) > 0;
}

uint32_t nextTimerId(WebPage::Engine& e) noexcept {
    do {
        ++e.lastTimer;
    } while (e.lastTimer == 0 || e.timers.count(e.lastTimer) > 0);
    return e.lastTimer;
}

// (function, delay in ms, list of arguments) -> timer id; 0 for anything but a function.
duk_ret_t nativeSetTimer(duk_context* ctx) {
    WebPage::Engine& e = engineOf(ctx);
    if (!duk_is_function(ctx, 0)) {
        duk_push_uint(ctx, 0);
        return 1;
    }
    double delay = duk_to_number(ctx, 1);
    if (e.timers.size() >= e.limits.maxTimers) return duk_range_error(ctx, "too many timers");
    uint32_t id = nextTimerId(e);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "timers");
    duk_push_array(ctx);
    duk_dup(ctx, 0);
    duk_put_prop_index(ctx, -2, 0);
    duk_dup(ctx, 2);
    duk_put_prop_index(ctx, -2, 1);
    duk_put_prop_index(ctx, -2, id);
    if (!scheduleTimer(e, id, delay)) {
        duk_del_prop_index(ctx, -1, id);
        return duk_range_error(ctx, "the timer was not set");
    }
    duk_pop_2(ctx);
    duk_push_uint(ctx, id);
    return 1;
}

duk_ret_t nativeClearTimer(duk_context* ctx) {
    WebPage::Engine& e = engineOf(ctx);
    auto id = static_cast<uint32_t>(duk_get_uint(ctx, 0));
    if (id == 0 || !forgetTimer(e, id)) return 0;
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "timers");
    duk_del_prop_index(ctx, -1, id);
    duk_pop_2(ctx);
    return 0;
}

// The browser globals, given the natives; Duktape's own global is removed.
const char* const kBrowserGlobals = R"JS(function (post, has, log, setTimer, clearTimer) {
  var g = globalThis;
  delete g.Duktape;
  g.window = g;
  g.self = g;
  var handlers = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string' || !has(name)) return undefined;
      return { postMessage: function (body) { post(name, body); } };
    },
    has: function (target, name) { return typeof name === 'string' && has(name); }
  });
  g.webkit = { messageHandlers: handlers };
  function line(level) {
    return function () {
      var parts = [];
      for (var i = 0; i < arguments.length; i++) parts.push(String(arguments[i]));
      log(level, parts.join(' '));
    };
  }
  g.console = { log: line('log'), info: line('info'), warn: line('warn'), error: line('error'),
                debug: line('debug') };
  g.setTimeout = function (handler, delay) {
    return setTimer(handler, Number(delay) || 0, Array.prototype.slice.call(arguments, 2));
  };
  g.clearTimeout = function (id) { clearTimer(Number(id) || 0); };
})JS";

duk_ret_t installBrowserGlobals(duk_context* ctx, void*) {
    duk_push_heap_stash(ctx);
    duk_push_object(ctx);
    duk_put_prop_string(ctx, -2, "timers");
    duk_pop(ctx);
    duk_push_string(ctx, kBrowserGlobals);
    duk_push_string(ctx, "browser");
    duk_compile(ctx, DUK_COMPILE_FUNCTION);
    duk_push_c_function(ctx, nativePost, 2);
    duk_push_c_function(ctx, nativeHas, 1);
    duk_push_c_function(ctx, nativeLog, 2);
    duk_push_c_function(ctx, nativeSetTimer, 3);
    duk_push_c_function(ctx, nativeClearTimer, 1);
    duk_call(ctx, 5);
    return 0;
}

struct ScriptText {
    const char* data;
    size_t size;
    const char* name;
    duk_uint_t flags;
};

duk_ret_t compileAndRun(duk_context* ctx, void* udata) {
    const auto* script = static_cast<const ScriptText*>(udata);
    duk_push_lstring(ctx, script->data, script->size);
    duk_push_string(ctx, script->name);
    duk_compile(ctx, script->flags);
    duk_call(ctx, 0);
    return 1;
}

// (error) -> its text and line number.
duk_ret_t describeError(duk_context* ctx, void*) {
    duk_dup(ctx, 0);
    duk_safe_to_string(ctx, -1);
    if (duk_is_error(ctx, 0)) {
        duk_get_prop_string(ctx, 0, "lineNumber");
    } else {
        duk_push_int(ctx, 0);
    }
    return 2;
}

struct ErrorReport {
    const char* message;
    size_t length;
    const char* url;
    int line;
    bool handled;
};

duk_ret_t callOnError(duk_context* ctx, void* udata) {
    auto* report = static_cast<ErrorReport*>(udata);
    duk_get_global_string(ctx, "onerror");
    if (!duk_is_function(ctx, -1)) return 0;
    duk_push_lstring(ctx, report->message, report->length);
    duk_push_string(ctx, report->url);
    duk_push_int(ctx, report->line);
    report->handled = true;
    duk_call(ctx, 3);
    return 0;
}

duk_ret_t callTimer(duk_context* ctx, void* udata) {
    uint32_t id = *static_cast<const uint32_t*>(udata);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "timers");
    duk_idx_t timers = duk_get_top_index(ctx);
    duk_get_prop_index(ctx, timers, id);
    duk_idx_t entry = duk_get_top_index(ctx);
    if (!duk_is_array(ctx, entry)) return 0;
    duk_del_prop_index(ctx, timers, id);
    duk_get_prop_index(ctx, entry, 0);
    duk_push_undefined(ctx);
    duk_get_prop_index(ctx, entry, 1);
    duk_idx_t args = duk_get_top_index(ctx);
    duk_size_t count = duk_is_array(ctx, args) ? duk_get_length(ctx, args) : 0;
    if (count > 10000) return duk_range_error(ctx, "too many timer arguments");
    duk_require_stack(ctx, static_cast<duk_idx_t>(count));
    for (duk_size_t i = 0; i < count; ++i) duk_get_prop_index(ctx, args, static_cast<duk_uarridx_t>(i));
    duk_remove(ctx, args);
    duk_call_method(ctx, static_cast<duk_idx_t>(count));
    return 0;
}

// What an evaluation's value is, and its text when it has one (left on the stack).
struct ResultForm {
    enum Kind { Undefined, Null, Bool, Number, String, Json, Unsupported } kind = Unsupported;
    bool boolean = false;
    double number = 0;
};

duk_ret_t formOfResult(duk_context* ctx, void* udata) {
    auto* form = static_cast<ResultForm*>(udata);
    switch (duk_get_type(ctx, 0)) {
        case DUK_TYPE_UNDEFINED:
            form->kind = ResultForm::Undefined;
            break;
        case DUK_TYPE_NULL:
            form->kind = ResultForm::Null;
            break;
        case DUK_TYPE_BOOLEAN:
            form->kind = ResultForm::Bool;
            form->boolean = duk_get_boolean(ctx, 0) != 0;
            break;
        case DUK_TYPE_NUMBER:
            form->kind = ResultForm::Number;
            form->number = duk_get_number(ctx, 0);
            break;
        case DUK_TYPE_STRING:
            form->kind = ResultForm::String;
            duk_dup(ctx, 0);
            return 1;
        case DUK_TYPE_OBJECT:
            if (duk_is_function(ctx, 0)) break;
            duk_dup(ctx, 0);
            duk_json_encode(ctx, -1);
            if (duk_is_string(ctx, -1)) form->kind = ResultForm::Json;
            return 1;
        default:
            break;
    }
    duk_push_undefined(ctx);
    return 1;
}

Value numberValue(double n) {
    constexpr double kExact = 9007199254740992.0;  // 2^53
    if (std::isfinite(n) && std::trunc(n) == n && std::fabs(n) < kExact)
        return Value(static_cast<int64_t>(n));
    return Value(n);
}

// The text and line of the error at the top of the stack.
std::pair<std::string, int> describeTop(duk_context* ctx) {
    duk_dup(ctx, -1);
    std::pair<std::string, int> out{"uncaught exception", 0};
    if (duk_safe_call(ctx, describeError, nullptr, 1, 2) == DUK_EXEC_SUCCESS) {
        out.first = wellFormedAt(ctx, -2);
        out.second = static_cast<int>(duk_get_int(ctx, -1));
    }
    duk_pop_2(ctx);
    return out;
}

const char* const kTimeoutMessage = "RangeError: execution timeout";

// An error the page did not catch (at the top of the stack): to window.onerror, else the
// console. A script stopped at its deadline is not given back to the page.
void reportUncaught(WebPage::Engine& e, bool stopped) {
    duk_context* ctx = e.ctx;
    auto [message, line] = describeTop(ctx);
    if (stopped) message = kTimeoutMessage;
    if (!stopped) {
        ErrorReport report{message.c_str(), message.size(), e.url.c_str(), line, false};
        if (duk_safe_call(ctx, callOnError, &report, 0, 1) != DUK_EXEC_SUCCESS) {
            message = describeTop(ctx).first;
            report.handled = false;
        }
        duk_pop(ctx);
        if (report.handled) return;
    }
    consoleLine(e, "error", message.data(), message.size());
}

}  // namespace

std::string WebPage::wellFormedUTF8(std::string_view text) {
    return wellFormed(text.data(), text.size());
}

std::shared_ptr<WebPage> WebPage::create(std::string url, Limits limits, Hooks hooks) {
    auto page = std::make_shared<WebPage>(std::move(url), limits, std::move(hooks));
    return page->engine_->ctx != nullptr ? page : nullptr;
}

WebPage::WebPage(std::string url, Limits limits, Hooks hooks) : engine_(std::make_unique<Engine>()) {
    Engine& e = *engine_;
    e.page = this;
    e.url = std::move(url);
    e.limits = limits;
    e.hooks = std::move(hooks);
    Entry entry(e);
    e.ctx = duk_create_heap(pageAlloc, pageRealloc, pageFree, &e, pageFatal);
    if (e.ctx == nullptr) return;
    bool ready = duk_safe_call(e.ctx, installBrowserGlobals, nullptr, 0, 1) == DUK_EXEC_SUCCESS;
    duk_pop(e.ctx);
    if (!ready) {
        duk_destroy_heap(e.ctx);
        e.ctx = nullptr;
    }
}

WebPage::~WebPage() {
    Engine& e = *engine_;
    if (e.ctx == nullptr) return;
    // Finalizers run while the heap goes; they get a deadline of their own.
    e.depth = 0;
    Entry entry(e);
    duk_destroy_heap(e.ctx);
    e.ctx = nullptr;
}

const std::string& WebPage::url() const {
    return engine_->url;
}

void WebPage::setScriptTimeLimit(double seconds) {
    engine_->limits.scriptTimeLimit = seconds;
}

bool WebPage::isRunning() const {
    return engine_->depth > 0;
}

void WebPage::runScript(const std::string& source, const std::string& sourceName) {
    Engine& e = *engine_;
    if (e.depth > 0) return;
    Entry entry(e);
    ScriptText script{source.data(), source.size(), sourceName.c_str(), 0};
    bool failed = duk_safe_call(e.ctx, compileAndRun, &script, 0, 1) != DUK_EXEC_SUCCESS;
    bool stopped = e.timedOut;
    entry.renew();
    if (failed) reportUncaught(e, stopped);
    duk_pop(e.ctx);
}

WebPage::Outcome WebPage::evaluate(const std::string& source) {
    Engine& e = *engine_;
    Outcome out;
    auto fail = [&](int64_t code, const std::string& description) {
        out.error = Error::withDescription(WKError::kDomain, code, description);
    };
    if (e.depth > 0) {
        fail(WKError::Unknown, "A script of the page is running");
        return out;
    }
    Entry entry(e);
    duk_context* ctx = e.ctx;
    ScriptText script{source.data(), source.size(), e.url.c_str(), DUK_COMPILE_EVAL};
    bool failed = duk_safe_call(ctx, compileAndRun, &script, 0, 1) != DUK_EXEC_SUCCESS;
    bool stopped = e.timedOut;
    entry.renew();
    if (failed) {
        auto [message, line] = describeTop(ctx);
        if (stopped) message = kTimeoutMessage;
        duk_pop(ctx);
        Value info = Value::dictionary({{Error::kLocalizedDescriptionKey, "A JavaScript exception occurred"},
                                        {WKError::kJavaScriptExceptionMessageKey, message},
                                        {WKError::kJavaScriptExceptionLineNumberKey, line},
                                        {WKError::kJavaScriptExceptionSourceURLKey, e.url}});
        out.error = Error(WKError::kDomain, WKError::JavaScriptExceptionOccurred, info);
        return out;
    }
    ResultForm form;
    if (duk_safe_call(ctx, formOfResult, &form, 1, 1) != DUK_EXEC_SUCCESS)
        form.kind = ResultForm::Unsupported;
    const char* unsupported = "JavaScript execution returned a result of an unsupported type";
    switch (form.kind) {
        case ResultForm::Undefined:
            break;
        case ResultForm::Null:
            out.result = Value::null();
            break;
        case ResultForm::Bool:
            out.result = Value(form.boolean);
            break;
        case ResultForm::Number:
            out.result = numberValue(form.number);
            break;
        case ResultForm::String:
        case ResultForm::Json: {
            duk_size_t length = 0;
            const char* text = duk_get_lstring(ctx, -1, &length);
            if (length > e.limits.maxResultBytes) {
                fail(WKError::JavaScriptResultTypeIsUnsupported, "The JavaScript result is too large");
                break;
            }
            std::string value = wellFormed(text, length);
            if (form.kind == ResultForm::String) {
                out.result = Value(std::move(value));
            } else if (auto parsed = Value::fromJSON(value)) {
                out.result = std::move(*parsed);
            } else {
                fail(WKError::JavaScriptResultTypeIsUnsupported, unsupported);
            }
            break;
        }
        case ResultForm::Unsupported:
            fail(WKError::JavaScriptResultTypeIsUnsupported, unsupported);
            break;
    }
    duk_pop(ctx);
    return out;
}

void WebPage::fireTimer(uint32_t id) {
    Engine& e = *engine_;
    auto it = e.timers.find(id);
    if (it == e.timers.end() || e.depth > 0) return;
    int level = it->second;
    e.timers.erase(it);
    Entry entry(e);
    e.timerNesting = level;
    bool failed = duk_safe_call(e.ctx, callTimer, &id, 0, 1) != DUK_EXEC_SUCCESS;
    bool stopped = e.timedOut;
    e.timerNesting = 0;
    entry.renew();
    if (failed) reportUncaught(e, stopped);
    duk_pop(e.ctx);
}

}  // namespace brindlecue::platform

// The engine's two hooks (declared in the engine's configuration header that CMake writes).
//
// Whether the running script has passed its deadline. The engine asks every so many bytecode
// instructions; once this says yes it keeps throwing until the script has unwound completely,
// so the answer stays yes until the app's entry ends.
extern "C" int brindlecue_duk_exec_timeout_check(void* udata) {
    auto* engine = static_cast<brindlecue::platform::WebPage::Engine*>(udata);
    if (engine == nullptr || brindlecue::platform::SteadyClock::now() < engine->deadline) return 0;
    engine->timedOut = true;
    return 1;
}

// The page clock (Date.now, new Date) in whole milliseconds since 1970: the platform clock, so
// that a page under a virtual clock keeps the test's time.
extern "C" double brindlecue_duk_date_now(void*) {
    try {
        return std::floor(brindlecue::platform::Clock::now() * 1000.0);
    } catch (...) {
        return std::floor(static_cast<double>(std::time(nullptr)) * 1000.0);
    }
}
