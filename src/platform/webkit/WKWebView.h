#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/UIView.h"
#include "platform/webkit/WKNavigationDelegate.h"
#include "platform/webkit/WKWebViewConfiguration.h"

namespace brindlecue::platform {

class UIScrollView;
class WebPage;

// A web view that runs its pages' scripts and draws nothing of them: what a page shows is its
// script state. It loads HTML text (with a base URL) or a file URL; the <script> elements of the
// document run in order (inline, or from a file "src" resolved against the base), between the
// user scripts of document start and those of document end. Each load is a fresh page.
//
// Loads go as on the platform, on the main queue after the call: the navigation delegate decides
// (a delegate that decides nothing allows), then did-start, then the document and its scripts,
// then did-finish; a page that cannot be read fails provisionally (a missing file, or an address
// that is not a file: this stand-in fetches no remote pages). A newer load replaces a waiting one.
//
// Pages reach the app through `window.webkit.messageHandlers.<name>.postMessage(body)`: a name
// the user content controller has a handler for at the time of the call; the body travels as
// JSON and reaches the handler on the main queue. A page cannot flood the app: a body larger than
// kMaxMessageBytes, or more than kMaxPendingMessages undelivered messages, makes postMessage throw
// in the page. Page scripts get kDefaultScriptTimeLimit seconds of real time per entry (a script,
// a timer, an evaluation) before they are stopped.
//
// Main thread only (evaluateJavaScript called elsewhere goes to the main queue first).
class WKWebView : public UIView {
public:
    BLQ_PLATFORM_CLASS(WKWebView)

    static constexpr double kDefaultScriptTimeLimit = 0.5;
    static constexpr size_t kMaxMessageBytes = size_t{1} << 20;
    static constexpr size_t kMaxPendingMessages = 1000;
    static constexpr size_t kMaxDocumentBytes = size_t{16} << 20;
    static constexpr size_t kMaxConsoleMessages = 200;

    explicit WKWebView(const CGRect& frame = {},
                       std::shared_ptr<WKWebViewConfiguration> configuration = nullptr);
    ~WKWebView() override;
    void didConstruct() override;

    const std::shared_ptr<WKWebViewConfiguration>& configuration() const { return configuration_; }
    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }
    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
    void setNavigationDelegate(const std::shared_ptr<WKNavigationDelegate>& delegate) {
        navigationDelegate_ = delegate;
    }

    std::shared_ptr<WKNavigation> loadRequest(const URLRequest& request);
    // The HTML with its base URL (none: "about:blank", where "src" files resolve nowhere).
    std::shared_ptr<WKNavigation> loadHTMLString(const std::string& html, const std::optional<URL>& baseURL);

    // Runs the script in the current page (a blank one before the first load) and hands the
    // value of its last statement, or the error, to the completion on the main queue: an
    // exception is WKErrorDomain code 4 with the exception's message, a value without a JSON
    // form (a function) code 5.
    using EvaluationCompletion = std::function<void(const Value& result, const std::optional<Error>& error)>;
    void evaluateJavaScript(const std::string& script, EvaluationCompletion completion = nullptr);

    bool isLoading() const { return loading_; }
    // The address of the page loaded last.
    const std::optional<URL>& url() const { return url_; }

    // ---- Stand-in additions.
    // Seconds of real time each entry into a page may take, from now on (the current page too).
    double scriptTimeLimit() const { return scriptTimeLimit_; }
    void setScriptTimeLimit(double seconds);
    // The latest console lines of the pages ("log: ...", "error: ..."; uncaught errors without a
    // window.onerror are "error" lines), oldest first.
    const std::deque<std::string>& consoleMessages() const { return console_; }
    // Driver: the user taps a link to the address (resolved against the page's address), as a
    // navigation of type "link activated".
    void activateLink(const std::string& href);

private:
    struct Load;
    std::shared_ptr<WKNavigation> startLoad(std::shared_ptr<Load> load);
    void decide(const std::shared_ptr<Load>& load);
    void commit(const std::shared_ptr<Load>& load);
    std::shared_ptr<WebPage> makePage(const std::string& url);
    std::shared_ptr<WebPage> currentPage();
    void addConsoleLine(const std::string& level, const std::string& text);
    bool queueMessage(const std::string& name, Value body);

    std::shared_ptr<WKWebViewConfiguration> configuration_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::weak_ptr<WKNavigationDelegate> navigationDelegate_;
    std::shared_ptr<WebPage> page_;
    std::optional<URL> url_;
    bool loading_ = false;
    uint64_t loadGeneration_ = 0;
    size_t pendingMessages_ = 0;
    double scriptTimeLimit_ = kDefaultScriptTimeLimit;
    std::deque<std::string> console_;
};

}  // namespace brindlecue::platform
