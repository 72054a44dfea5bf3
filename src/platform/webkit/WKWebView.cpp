#include "platform/webkit/WKWebView.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <mutex>
#include <utility>
#include <vector>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URLError.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/webkit/WKError.h"
#include "platform/webkit/WebPage.h"

namespace brindlecue::platform {

namespace {

constexpr int64_t kFileDoesNotExist = -1100;
constexpr size_t kMaxConsoleLineBytes = 4096;

// A <script> element of a document: its text, or the address of its file.
struct DocumentScript {
    std::string text;
    std::optional<std::string> src;
};

std::string xmlText(xmlChar* text) {
    if (text == nullptr) return {};
    std::string out(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return out;
}

bool isJavaScriptType(std::string type) {
    type.erase(std::remove_if(type.begin(), type.end(), [](unsigned char c) { return std::isspace(c); }),
               type.end());
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
    return type.empty() || type == "text/javascript" || type == "application/javascript" ||
           type == "application/x-javascript" || type == "text/ecmascript" ||
           type == "application/ecmascript";
}

// The classic scripts of the document, in document order (libxml2's HTML parser, recovering from
// what is not well formed, as browsers do).
std::vector<DocumentScript> documentScripts(const std::string& html) {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    std::vector<DocumentScript> scripts;
    if (html.empty() || html.size() > INT_MAX) return scripts;
    htmlDocPtr doc =
        htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    if (doc == nullptr) return scripts;
    auto* top = reinterpret_cast<xmlNodePtr>(doc);
    xmlNodePtr node = doc->children;
    while (node != nullptr) {
        bool isScript = node->type == XML_ELEMENT_NODE &&
                        xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>("script")) == 0;
        if (isScript) {
            xmlChar* type = xmlGetProp(node, reinterpret_cast<const xmlChar*>("type"));
            if (type == nullptr || isJavaScriptType(xmlText(type))) {
                DocumentScript script;
                if (xmlChar* src = xmlGetProp(node, reinterpret_cast<const xmlChar*>("src"))) {
                    script.src = xmlText(src);
                } else {
                    script.text = xmlText(xmlNodeGetContent(node));
                }
                scripts.push_back(std::move(script));
            }
        } else if (node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == top) node = nullptr;
        }
        if (node != nullptr) node = node->next;
    }
    xmlFreeDoc(doc);
    return scripts;
}

// The text of a local file, when it exists and is not larger than the cap.
std::optional<std::string> readFile(const URL& url, size_t cap) {
    std::ifstream in(url.path(), std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > cap) return std::nullopt;
    }
    return text;
}

}  // namespace

struct WKWebView::Load {
    std::shared_ptr<WKNavigation> navigation = std::make_shared<WKNavigation>();
    URLRequest request;
    // The document itself (HTML text loads); file loads read it at commit.
    std::optional<std::string> html;
    std::optional<URL> baseURL;
    WKNavigationType type = WKNavigationType::Other;
    uint64_t generation = 0;
};

WKWebView::WKWebView(const CGRect& frame, std::shared_ptr<WKWebViewConfiguration> configuration)
    : UIView(frame),
      configuration_(configuration ? std::move(configuration) : std::make_shared<WKWebViewConfiguration>()) {}

WKWebView::~WKWebView() = default;

void WKWebView::didConstruct() {
    UIView::didConstruct();
    scrollView_ = make<UIScrollView>(CGRect{{0, 0}, bounds().size});
    scrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
}

void WKWebView::setScriptTimeLimit(double seconds) {
    scriptTimeLimit_ = seconds;
    if (page_) page_->setScriptTimeLimit(seconds);
}

std::shared_ptr<WKNavigation> WKWebView::loadRequest(const URLRequest& request) {
    auto load = std::make_shared<Load>();
    load->request = request;
    return startLoad(std::move(load));
}

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString(const std::string& html,
                                                        const std::optional<URL>& baseURL) {
    auto load = std::make_shared<Load>();
    load->request = URLRequest(baseURL ? baseURL : URL::fromString("about:blank"));
    load->html = html;
    load->baseURL = baseURL;
    return startLoad(std::move(load));
}

void WKWebView::activateLink(const std::string& href) {
    std::optional<URL> target = url_ ? URL::fromString(href, *url_) : URL::fromString(href);
    if (!target) return;
    auto load = std::make_shared<Load>();
    load->request = URLRequest(target);
    load->type = WKNavigationType::LinkActivated;
    startLoad(std::move(load));
}

std::shared_ptr<WKNavigation> WKWebView::startLoad(std::shared_ptr<Load> load) {
    load->generation = ++loadGeneration_;
    loading_ = true;
    std::weak_ptr<WKWebView> weak = sharedAs<WKWebView>();
    DispatchQueue::main()->async([weak, load] {
        if (auto self = weak.lock()) self->decide(load);
    });
    return load->navigation;
}

void WKWebView::decide(const std::shared_ptr<Load>& load) {
    if (load->generation != loadGeneration_) return;
    auto delegate = navigationDelegate();
    if (!delegate) {
        commit(load);
        return;
    }
    std::weak_ptr<WKWebView> weak = sharedAs<WKWebView>();
    auto decided = std::make_shared<bool>(false);
    delegate->webViewDecidePolicyForNavigationAction(
        *this, WKNavigationAction{load->request, load->type},
        [weak, load, decided](WKNavigationActionPolicy policy) {
            if (*decided) return;
            *decided = true;
            auto self = weak.lock();
            if (!self || load->generation != self->loadGeneration_) return;
            if (policy == WKNavigationActionPolicy::Allow) {
                self->commit(load);
            } else {
                self->loading_ = false;
            }
        });
}

void WKWebView::commit(const std::shared_ptr<Load>& load) {
    if (auto delegate = navigationDelegate())
        delegate->webViewDidStartProvisionalNavigation(*this, load->navigation);
    if (load->generation != loadGeneration_) return;

    const std::optional<URL>& address = load->request.url();
    std::optional<std::string> document = load->html;
    std::optional<Error> failure;
    if (!document) {
        if (!address || !address->isFileURL()) {
            failure = URLError::make(URLError::UnsupportedURL, address);
        } else if (!(document = readFile(*address, kMaxDocumentBytes))) {
            failure = URLError::make(kFileDoesNotExist, address);
        }
    } else if (document->size() > kMaxDocumentBytes) {
        failure = Error::withDescription(WKError::kDomain, WKError::Unknown, "The document is too large");
    }
    std::shared_ptr<WebPage> page;
    if (!failure) {
        url_ = load->html ? load->baseURL : address;
        page = makePage(url_ ? url_->absoluteString() : "about:blank");
        if (!page)
            failure = Error::withDescription(WKError::kDomain, WKError::Unknown, "The page could not start");
    }
    if (failure) {
        loading_ = false;
        if (auto delegate = navigationDelegate()) {
            delegate->webViewDidFailProvisionalNavigation(*this, load->navigation, *failure);
        }
        return;
    }
    page_ = page;

    // The user scripts as they stand now; scripts added while the page loads wait for the next.
    const std::vector<WKUserScript> userScripts = configuration_->userContentController()->userScripts();
    const std::string& pageURL = page->url();
    auto runUserScripts = [&](WKUserScriptInjectionTime time) {
        for (const auto& script : userScripts) {
            if (script.injectionTime == time) page->runScript(script.source, pageURL);
        }
    };
    runUserScripts(WKUserScriptInjectionTime::AtDocumentStart);
    for (const auto& script : documentScripts(*document)) {
        if (!script.src) {
            page->runScript(script.text, pageURL);
            continue;
        }
        std::optional<URL> file = url_ ? URL::fromString(*script.src, *url_) : URL::fromString(*script.src);
        std::optional<std::string> text;
        if (file && file->isFileURL()) text = readFile(*file, kMaxDocumentBytes);
        if (text) {
            page->runScript(*text, file->absoluteString());
        } else {
            addConsoleLine("error", "Failed to load the script " + *script.src);
        }
    }
    runUserScripts(WKUserScriptInjectionTime::AtDocumentEnd);

    if (load->generation != loadGeneration_) return;
    loading_ = false;
    if (auto delegate = navigationDelegate()) delegate->webViewDidFinishNavigation(*this, load->navigation);
}

std::shared_ptr<WebPage> WKWebView::makePage(const std::string& url) {
    std::weak_ptr<WKWebView> weak = sharedAs<WKWebView>();
    WebPage::Limits limits;
    limits.scriptTimeLimit = scriptTimeLimit_;
    limits.maxMessageBytes = kMaxMessageBytes;
    WebPage::Hooks hooks;
    hooks.hasMessageHandler = [weak](const std::string& name) {
        auto self = weak.lock();
        return self && self->configuration_->userContentController()->scriptMessageHandler(name) != nullptr;
    };
    hooks.postMessage = [weak](const std::string& name, Value body) {
        auto self = weak.lock();
        return self && self->queueMessage(name, std::move(body));
    };
    hooks.console = [weak](const std::string& level, const std::string& text) {
        if (auto self = weak.lock()) self->addConsoleLine(level, text);
    };
    return WebPage::create(url, limits, std::move(hooks));
}

std::shared_ptr<WebPage> WKWebView::currentPage() {
    if (!page_) page_ = makePage("about:blank");
    return page_;
}

bool WKWebView::queueMessage(const std::string& name, Value body) {
    if (pendingMessages_ >= kMaxPendingMessages) return false;
    ++pendingMessages_;
    std::weak_ptr<WKWebView> weak = sharedAs<WKWebView>();
    DispatchQueue::main()->async([weak, name, body = std::move(body)] {
        auto self = weak.lock();
        if (!self) return;
        --self->pendingMessages_;
        auto controller = self->configuration_->userContentController();
        if (auto handler = controller->scriptMessageHandler(name)) {
            handler->userContentControllerDidReceiveScriptMessage(controller,
                                                                  WKScriptMessage{name, body, self});
        }
    });
    return true;
}

void WKWebView::evaluateJavaScript(const std::string& script, EvaluationCompletion completion) {
    std::weak_ptr<WKWebView> weak = sharedAs<WKWebView>();
    auto page = isMainThread() ? currentPage() : nullptr;
    if (!page || page->isRunning()) {
        // Off the main thread, or inside a running script: the evaluation waits its turn.
        DispatchQueue::main()->async([weak, script, completion = std::move(completion)]() mutable {
            auto self = weak.lock();
            if (self && self->currentPage()) {
                self->evaluateJavaScript(script, std::move(completion));
            } else if (completion) {
                completion(Value(), Error::withDescription(WKError::kDomain, WKError::Unknown,
                                                           "The web view is gone"));
            }
        });
        return;
    }
    WebPage::Outcome outcome = page->evaluate(script);
    if (completion) {
        DispatchQueue::main()->async([completion = std::move(completion), outcome = std::move(outcome)] {
            completion(outcome.result, outcome.error);
        });
    }
}

void WKWebView::addConsoleLine(const std::string& level, const std::string& pageText) {
    // A line may name what the document's markup holds (a script's address), which no engine
    // call has made well-formed.
    const std::string text = WebPage::wellFormedUTF8(pageText);
    size_t length = text.size();
    if (length > kMaxConsoleLineBytes) {
        // Cut at a character boundary.
        length = kMaxConsoleLineBytes;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::string line = level + ": " + text.substr(0, length);
    console_.push_back(std::move(line));
    while (console_.size() > kMaxConsoleMessages) console_.pop_front();
}

}  // namespace brindlecue::platform
