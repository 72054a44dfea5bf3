#include "DemoJourney.h"

#include <chrono>
#include <sstream>

#include <map>
#include <set>

#include "facade/Brindlecue.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "platform/Value.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/webkit/WKWebView.h"
#include "presentation/BLQITipLauncherElement.h"
#include "presentation/KJChoiceViewController.h"
#include "presentation/KJCoachmarkTipViewController.h"
#include "presentation/KJFeedbackTipViewController.h"
#include "presentation/KJFeedbackViewController.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJPopTipViewController.h"
#include "preview/PreviewModeHostingController.h"
#include "sample-server/SampleServer.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQUserEventDTO.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::demo {

using namespace platform;

namespace {

std::shared_ptr<KJBaseTipViewController> tipOnScreen() {
    auto facade = Brindlecue::sharedInstance();
    auto engine = facade->tipManager();
    auto tip = std::dynamic_pointer_cast<KJBaseTipViewController>(engine ? engine->currentTipViewController()
                                                                         : nullptr);
    if (!tip || !tip->coverView() || !tip->coverView()->window()) return nullptr;
    return tip;
}

std::string kindOf(const std::shared_ptr<KJBaseTipViewController>& tip) {
    if (!tip) return "";
    if (std::dynamic_pointer_cast<KJFeedbackTipViewController>(tip)) return "survey";
    if (std::dynamic_pointer_cast<KJCoachmarkTipViewController>(tip)) return "coachmark";
    if (std::dynamic_pointer_cast<KJPopTipViewController>(tip)) return "pop tip";
    if (tip->tip() && tip->tip()->tipType == 6) return "carousel";
    if (tip->webView && !tip->webView->isHidden()) return "web tip";
    return "modal";
}

std::string feedOf(const std::shared_ptr<KJBaseTipViewController>& tip) {
    return tip && tip->tip() && tip->tip()->feed_id ? *tip->tip()->feed_id : "";
}

std::shared_ptr<UIView> keyWindowView(int64_t tag) {
    auto window = UIApplication::sharedApplication()->keyWindow();
    return window ? window->viewWithTag(tag) : nullptr;
}

std::string describe(const sampleserver::JournalEntry& entry) {
    std::string text = entry.method + " " + entry.path;
    if (entry.status) text += " -> " + std::to_string(entry.status);
    if (entry.method == "POST" && entry.path == "/v3/logs") {
        if (auto body = Value::fromJSON(entry.body)) {
            std::string codes;
            if (const Array* records = (*body)["records"].getArray())
                for (const auto& record : *records)
                    codes += (codes.empty() ? "" : ",") + std::to_string(record["code"].integerValue());
            text += " [" + codes + "]";
        }
    }
    return text;
}

}  // namespace

struct Journey::Impl {
    Journey& journey;
    std::shared_ptr<Brindlecue> library;

    // Runs the main queue and moves the virtual clock on in small steps until the condition holds
    // or the real seconds have passed.
    bool pumpUntil(const std::function<bool()>& condition, double realSeconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (RunLoop::main().runUntil(condition, 0.02)) return true;
            Clock::advance(0.1);
        }
        return condition();
    }
    // Lets the given seconds of the user's time pass (long absences in larger steps).
    void pass(double seconds) {
        const double step = seconds > 120 ? 30 : seconds > 10 ? 1 : 0.1;
        for (double t = 0; t < seconds; t += step) {
            Clock::advance(step);
            RunLoop::main().runUntil([] { return false; }, 0.01);
        }
    }
    bool waitFor(const std::function<bool()>& condition) { return pumpUntil(condition, journey.stepTimeout); }

    // The requests the server received with the method and a path that begins with the prefix,
    // answered with the status (any when 0).
    size_t heard(const std::string& method, const std::string& prefix, int status = 0) const {
        size_t count = 0;
        for (const auto& entry : journey.server_.journal())
            if (entry.method == method && entry.path.rfind(prefix, 0) == 0 &&
                (status == 0 || entry.status == status))
                ++count;
        return count;
    }
    // The event records of the uploads the server took in, that pass the test.
    size_t uploaded(const std::function<bool(const Value&)>& test) const {
        size_t count = 0;
        for (const auto& entry : journey.server_.journal()) {
            if (entry.method != "POST" || entry.path != "/v3/logs" || entry.status != 200) continue;
            auto body = Value::fromJSON(entry.body);
            const Array* records = body ? (*body)["records"].getArray() : nullptr;
            for (const auto& record : records ? *records : Array{}) count += test(record);
        }
        return count;
    }
    size_t uploaded(int64_t code) const {
        return uploaded([code](const Value& record) { return record["code"].integerValue() == code; });
    }

    std::string screen() const {
        auto tabs = journey.app_->tabs;
        auto selected = tabs ? tabs->selectedViewController() : nullptr;
        return selected ? selected->className() : "";
    }

    // Notes a moment: what happened, whether it came as expected, and, with a picture name, what
    // the user sees.
    void moment(const std::string& title, const std::string& detail, bool ok, const std::string& guide = "",
                const std::string& picture = "") {
        Moment m;
        m.clock = Clock::now() - journey.startClock_;
        m.title = title;
        m.detail = detail;
        m.screen = screen();
        m.guide = guide;
        m.ok = ok;
        if (!picture.empty() && journey.capture_) m.picture = journey.capture_(picture);
        auto journal = journey.server_.journal();
        for (size_t i = journey.journalSeen_; i < journal.size(); ++i)
            m.requests.push_back(describe(journal[i]));
        journey.journalSeen_ = journal.size();
        if (!ok) journey.failures_.push_back(title + ": " + detail);
        if (journey.onMoment) journey.onMoment(m);
        journey.moments_.push_back(std::move(m));
    }

    // Waits for a tip of the kind on screen; notes it as shown and takes its picture.
    std::shared_ptr<KJBaseTipViewController> expectTip(const std::string& title, const std::string& kind,
                                                       const std::string& feedId, const std::string& detail,
                                                       const std::string& picture) {
        std::shared_ptr<KJBaseTipViewController> tip;
        bool ok = waitFor([&] {
            tip = tipOnScreen();
            return tip && feedOf(tip) == feedId && kindOf(tip) == kind;
        });
        // Animations in and the image and web loads settle before the picture.
        if (ok) pass(0.6);
        std::string guide = kind + " " + feedId;
        if (ok) journey.shown_.push_back({kind, feedId, screen(), Clock::now() - journey.startClock_});
        std::string seen = tipOnScreen() ? kindOf(tipOnScreen()) + " " + feedOf(tipOnScreen()) : "no guide";
        moment(title, ok ? detail : "expected the " + guide + ", saw " + seen, ok, ok ? guide : "", picture);
        return ok ? tip : nullptr;
    }

    // Waits until the guide the user closes has gone and no tip is on screen. A guide that never
    // showed cannot be closed: the step has failed.
    bool expectNoTip(const std::string& title, const std::string& detail, bool guideShown,
                     const std::string& guide) {
        if (!guideShown) {
            moment(title, "the " + guide + " to close never showed", false);
            return false;
        }
        bool ok = waitFor([] { return !tipOnScreen(); });
        pass(0.5);
        moment(title, ok ? detail : "a guide stayed on screen", ok);
        return ok;
    }

    // The server's part between sessions: the feed lists what the user has not finished yet, and
    // the campaigns that may show again (those with repeat conditions).
    void serveUnfinishedCampaigns() {
        auto scenario = Value::fromJSON(journey.scenario_);
        const Array* routes = scenario ? (*scenario)["routes"].getArray() : nullptr;
        if (!routes) return;
        std::set<std::string> finished;
        uploaded([&](const Value& record) {
            if (record["code"].integerValue() == 8201 && record["result"]["complete"].boolValue())
                finished.insert(record["feed_id"].stringValue());
            return false;
        });
        for (const auto& route : *routes) {
            if (route["path"] != Value("/v3/feeds")) continue;
            const Array* items = route["body"]["results"].getArray();
            if (!items) continue;
            Array results;
            for (const auto& item : *items) {
                const bool repeats = !item["repeat_conditions"].isNil();
                if (!finished.count(item["id"].stringValue()) || repeats) results.push_back(item);
            }
            sampleserver::Route feed;
            feed.method = "GET";
            feed.pathPattern = "/v3/feeds";
            feed.body = Value::dictionary({{"results", Value(std::move(results))}}).toJSON().value_or("{}");
            journey.server_.addRoute(std::move(feed));
        }
    }

    void tapTab(size_t index) {
        auto tabBar = journey.app_->tabs->tabBar();
        const CGRect bounds = tabBar->bounds();
        const double width = bounds.width() / 3;
        TouchDriver::tap(tabBar, CGPoint{width * (static_cast<double>(index) + 0.5), bounds.height() / 2});
    }

    void tap(const std::shared_ptr<UIView>& view) {
        if (view) TouchDriver::tap(view);
    }
};

Journey::Journey(sampleserver::SampleServer& server, std::string scenario, Capture capture)
    : impl_(std::make_unique<Impl>(Impl{*this, nullptr})),
      server_(server),
      scenario_(std::move(scenario)),
      capture_(std::move(capture)) {}

Journey::~Journey() = default;

bool Journey::run() {
    Impl& s = *impl_;
    startClock_ = Clock::now();

    // ---- First launch: the app starts the library, which registers the install.
    app_ = make<ShopApp>();
    auto application = UIApplication::sharedApplication();
    application->setDelegate(app_);
    application->finishLaunching();
    s.library = Brindlecue::sharedInstance();
    bool started = s.pumpUntil([&] { return app_->started.load(); }, stepTimeout);
    s.moment("The app launches for the first time",
             started ? "Shop starts the library with its app key; the library registers the install and "
                       "opens a session"
                     : "the library's start did not finish",
             started);
    application->becomeActive();

    auto engine = s.library->tipManager();
    bool feed = s.waitFor([&] { return engine && engine->innerTipSeries().size() >= 10; });
    s.moment("The guides arrive",
             feed ? "the feed brings the campaigns of the app" : "the feed did not arrive", feed);

    // ---- Home: the welcome modal, then the app's own banner guide.
    auto welcome = s.expectTip(
        "The home screen opens", "modal", "welcome",
        "A welcome guide over the home screen; the FAQ button waits at the bottom right", "01-home-welcome");
    if (welcome) s.tap(welcome->button2);
    bool banner = s.waitFor([&] { return app_->banner->banner() != nullptr; });
    if (banner) {
        s.pass(0.5);
        shown_.push_back({"custom guide", "banner", s.screen(), Clock::now() - startClock_});
    }
    s.moment("The user taps \"Let's go\"",
             banner ? "The next guide of the screen is the app's own banner, drawn by its guide block"
                    : "the app's banner guide did not show",
             banner, banner ? "custom guide banner" : "", "02-home-banner");
    if (banner) s.tap(app_->banner->button());
    s.expectNoTip("The user taps \"Show me\"", "The banner goes; the deals button is now watched for a tap",
                  banner, "custom guide banner");

    // ---- Orders: a pop tip on the filter button, then a carousel.
    s.tapTab(1);
    auto filter = s.expectTip("The user opens Orders", "pop tip", "orders-filter",
                              "A pop tip points at the filter button", "03-orders-pop-tip");
    if (filter) s.tap(filter->button2);
    auto tour = s.expectTip("The user taps \"Got it\"", "carousel", "orders-tour",
                            "The next guide of the screen: a carousel drawn by the app's carousel component",
                            "04-orders-carousel");
    for (int page = 0; tour && page < 3; ++page) {
        auto button = app_->carousel->pageButton();
        if (!button) break;
        if (page == 1)
            s.moment("The user turns a page", "The second page of the carousel", true, "carousel orders-tour",
                     "05-orders-carousel-page-2");
        s.tap(button);
        s.pass(0.3);
    }
    if (tour)
        s.expectNoTip("The user finishes the carousel", "The carousel is done", true, "carousel orders-tour");

    // ---- Profile: a coachmark on the edit button, then the survey.
    s.tapTab(2);
    auto coach =
        s.expectTip("The user opens Profile", "coachmark", "profile-edit",
                    "A coachmark lights the edit button over the dimmed screen", "06-profile-coachmark");
    if (coach) {
        auto window = application->keyWindow();
        auto edit = app_->profile->editButton;
        CGRect frame = edit->convertRectToView(edit->bounds(), window);
        TouchDriver::tapAt(window, CGPoint{frame.midX(), frame.midY()});
    }
    auto survey = s.expectTip("The user taps the lit button", "survey", "profile-survey",
                              "The next guide of the screen: a one-question survey", "07-profile-survey");
    if (survey) {
        auto choice = std::dynamic_pointer_cast<KJFeedbackTipViewController>(survey)->choiceViewController();
        if (choice && choice->tableChoice) {
            choice->tableChoice->layoutIfNeeded();
            if (auto cell = choice->tableChoice->cellForRowAtIndexPath(NSIndexPath::forRow(0, 0)))
                s.tap(cell);
        }
        auto form = std::dynamic_pointer_cast<KJFeedbackTipViewController>(survey)->feedbackViewController();
        bool formShown = s.waitFor([&] {
            form = std::dynamic_pointer_cast<KJFeedbackTipViewController>(survey)->feedbackViewController();
            return form && form->isViewLoaded() && form->view()->window();
        });
        s.pass(0.4);
        s.moment("The user picks \"Loved it\"",
                 formShown ? "The survey asks for a few words" : "the survey's form did not open", formShown,
                 "survey profile-survey", "08-profile-survey-form");
        if (formShown) {
            form->textboxContent->setText("Quick delivery and the chair is great.");
            s.tap(form->buttonSubmit);
        }
        bool sent = s.waitFor([&] { return s.heard("POST", "/v3/feedbacks") > 0; });
        s.pass(0.3);
        s.moment(
            "The user sends the answer",
            sent ? "The answer goes to the server; a thank-you shows" : "no survey answer reached the server",
            sent, "", "09-profile-survey-thanks");
        s.pass(3);
    }

    // ---- The user goes gold: the app tags the user.
    s.tap(app_->profile->upgradeButton);
    bool tagged = s.waitFor([&] {
        return s.uploaded([](const Value& record) {
            return record["code"].integerValue() == 8999 && record["key"] == Value("plan");
        }) > 0;
    });
    s.moment("The user taps \"Go Gold\"",
             tagged ? "The app tags the user's plan; the tag goes up with the events"
                    : "the plan tag did not reach the server",
             tagged);

    // ---- Home again: the launcher above the buy button, its pop tip, then the deals web tip.
    s.tapTab(0);
    std::shared_ptr<UIView> launcher;
    bool launcherShown = s.waitFor(
        [&] { return (launcher = keyWindowView(BLQITipLauncherElement::kLauncherTag)) != nullptr; });
    if (launcherShown) {
        s.pass(0.5);
        shown_.push_back({"launcher", "reorder", s.screen(), Clock::now() - startClock_});
    }
    s.moment("The user goes back Home",
             launcherShown ? "A glowing launcher sits above the buy button" : "no launcher showed",
             launcherShown, launcherShown ? "launcher reorder" : "", "10-home-launcher");
    if (launcher) s.tap(launcher);
    auto reorder = s.expectTip("The user taps the launcher", "pop tip", "reorder",
                               "Its guide: a pop tip on the buy button", "11-home-launcher-tip");
    if (reorder) s.tap(reorder->button2);
    s.expectNoTip("The user taps \"Nice\"", "The launcher's guide is done", reorder != nullptr,
                  "pop tip reorder");

    s.pass(2);
    s.tap(app_->home->dealsButton);
    auto deals =
        s.expectTip("The user taps \"See deals\"", "web tip", "deals",
                    "The tap starts a web tip: a page of the deals team inside the guide", "12-home-web-tip");
    if (deals) {
        auto web = std::dynamic_pointer_cast<WKWebView>(deals->webView);
        if (web) web->evaluateJavaScript("done()", nullptr);
    }
    s.expectNoTip("The user taps the page's \"Done\"", "The page closes its guide", deals != nullptr,
                  "web tip deals");

    // ---- On demand: the help button, then the FAQ.
    s.tap(app_->home->helpButton);
    auto shipping = s.expectTip("The user taps \"Help\"", "modal", "shipping",
                                "The app starts the shipping guide on demand", "13-home-on-demand");
    if (shipping) s.tap(shipping->buttonClose);
    s.expectNoTip("The user closes it", "The guide goes; it stays available on demand", shipping != nullptr,
                  "modal shipping");

    auto fab = keyWindowView(widgets::ViewTags::fabButton);
    if (fab) s.tap(fab);
    bool listOpen = s.waitFor([] { return keyWindowView(widgets::ViewTags::faqList) != nullptr; });
    if (listOpen) {
        s.pass(0.5);
        shown_.push_back({"FAQ", "faq", s.screen(), Clock::now() - startClock_});
    }
    s.moment("The user taps the FAQ button", listOpen ? "The FAQ list opens" : "the FAQ list did not open",
             listOpen, listOpen ? "FAQ faq" : "", "14-home-faq");
    if (auto list =
            std::dynamic_pointer_cast<swiftui::UIHostingView>(keyWindowView(widgets::ViewTags::faqList))) {
        if (const auto* entry = list->placedRoot()->findContent("When will my order arrive?"))
            TouchDriver::tap(list, CGPoint{entry->frame.midX(), entry->frame.midY()});
    }
    auto answer = s.expectTip("The user taps \"When will my order arrive?\"", "modal", "shipping",
                              "The FAQ entry starts the shipping guide", "15-home-faq-guide");
    if (answer) s.tap(answer->button2);
    s.expectNoTip("The user taps \"Good to know\"", "Back to the home screen", answer != nullptr,
                  "modal shipping");

    // ---- Orders: the gold offer (the user is gold now).
    s.tapTab(1);
    auto gold =
        s.expectTip("The user opens Orders again", "modal", "gold-offer",
                    "Gold members get an offer: the campaign waited for the plan tag", "16-orders-gold");
    if (gold) s.tap(gold->button2);
    s.expectNoTip("The user taps \"Thanks!\"", "The offer may come back once more", gold != nullptr,
                  "modal gold-offer");

    // ---- Background and foreground.
    application->resignActive();
    application->enterBackground();
    s.pass(2);
    bool flushed = s.waitFor([&] { return s.uploaded(8105) >= 1; });
    s.moment(
        "The user leaves the app",
        flushed ? "The session closes and its events go up" : "the session's end did not reach the server",
        flushed);
    s.serveUnfinishedCampaigns();
    s.pass(3 * 3600);
    application->enterForeground();
    application->becomeActive();
    auto again =
        s.expectTip("Three hours later the user comes back", "modal", "gold-offer",
                    "A new session; the gold offer shows its second and last time", "17-orders-gold-again");
    if (again) s.tap(again->button2);
    s.expectNoTip("The user taps \"Thanks!\"", "The offer has been seen twice", again != nullptr,
                  "modal gold-offer");
    s.tapTab(0);
    s.pass(3);
    s.tapTab(1);
    s.pass(3);
    // The offer stays away only once it has been seen twice.
    const bool offerGone = gold && again && !tipOnScreen();
    s.moment("The user opens Orders once more",
             offerGone       ? "No offer: it has been seen twice"
             : tipOnScreen() ? "a guide showed again"
                             : "the gold offer had not shown twice",
             offerGone);

    // ---- Preview mode: a guide author previews a guide on this device.
    sampleserver::Route status;
    status.method = "GET";
    status.pathPattern = "/v3/apps/.*/status";
    status.body =
        R"({"app_status": {"app_status_poll_interval": 300, "preview_mode": "2026-01-01T09:00:00.000Z"}})";
    server_.addRoute(status);
    application->resignActive();
    application->enterBackground();
    s.pass(60);
    application->enterForeground();
    application->becomeActive();
    bool preview = s.waitFor([&] {
        auto manager = s.library->previewModeManager();
        return manager && manager->isInPreviewMode() && manager->isPreviewModeShown();
    });
    s.pass(1.2);
    s.moment("The app comes back in preview mode",
             preview ? "The server says an author previews guides on this device: the preview panel shows"
                     : "the preview panel did not show",
             preview, preview ? "preview panel" : "");
    auto draft = s.expectTip("The author's draft arrives", "modal", "spring-draft",
                             "The draft shows over the screen, beside the preview panel", "18-preview-draft");
    if (draft) s.tap(draft->button2);
    // Dismissed in preview mode, the guide tells the author how to see it again.
    std::shared_ptr<UIAlertController> alert;
    bool told = s.waitFor([&] {
        for (const auto& screen : std::vector<std::shared_ptr<UIViewController>>{app_->tabs, app_->orders})
            if ((alert = std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController())))
                return true;
        return false;
    });
    s.pass(0.5);
    s.moment("The author taps \"Looks good\"",
             told ? "Nothing is reported in preview mode; the app is told how to replay the draft"
                  : "no replay hint showed",
             told);
    if (alert) alert->pressActionWithTitle("OK");
    s.pass(0.5);

    // The panel's menu: a screenshot of the screen goes to the dashboard.
    auto panel = [&]() -> std::shared_ptr<swiftui::UIHostingView> {
        auto manager = s.library->previewModeManager();
        auto controller = manager ? manager->previewModeView() : nullptr;
        return std::dynamic_pointer_cast<swiftui::UIHostingView>(controller ? controller->view() : nullptr);
    };
    auto tapPanel = [&](const std::string& content) {
        auto view = panel();
        if (!view) return false;
        view->layoutIfNeeded();
        const swiftui::Placed* node = nullptr;
        if (content.empty()) {
            auto ids = view->placedRoot()->findAll("accessibilityIdentifier");
            node = ids.empty() ? nullptr : ids.front();
        } else {
            node = view->placedRoot()->findContent(content);
        }
        if (!node) return false;
        TouchDriver::tap(view, CGPoint{node->frame.midX(), node->frame.midY()});
        return true;
    };
    bool menu = tapPanel("");
    s.pass(0.5);
    menu = menu && panel() && panel()->placedRoot()->findContent("Capture Screenshot") != nullptr;
    s.moment("The author opens the panel's menu",
             menu ? "Capture a screenshot, replay the guide or leave preview mode"
                  : "the panel's menu did not open",
             menu, "preview panel", "19-preview-menu");
    if (menu) tapPanel("Capture Screenshot");
    bool uploaded = s.waitFor([&] { return s.heard("POST", "/v3/screenshots", 200) > 0; });
    s.pass(0.5);
    s.moment(
        "The author taps \"Capture Screenshot\"",
        uploaded ? "The screen and its views' names go to the dashboard" : "no screenshot reached the server",
        uploaded, "preview panel", "20-preview-screenshot");
    s.pass(4);
    // A tap on the banner first takes away a message it still shows, then opens the menu.
    bool exited = false;
    for (int tries = 0; tries < 3 && !exited; ++tries) {
        tapPanel("");
        s.pass(0.5);
        exited = tapPanel("Exit Preview Mode");
    }
    exited = exited && s.waitFor([&] {
        auto manager = s.library->previewModeManager();
        return manager && !manager->isInPreviewMode() && !manager->isPreviewModeShown() &&
               s.heard("DELETE", "/v3/tags/") > 0;
    });
    s.pass(0.5);
    s.moment("The author leaves preview mode",
             exited ? "The panel goes and the device's preview tag is deleted on the server"
                    : "preview mode did not end",
             exited, "", "21-preview-ended");

    // ---- The end: the app goes to the background and its events go up.
    application->resignActive();
    application->enterBackground();
    s.pass(2);
    bool closed = s.waitFor([&] { return s.uploaded(8105) >= 3; });
    s.moment(
        "The user leaves the app",
        closed ? "The events of the last session go up" : "the last session's end did not reach the server",
        closed);
    return failures_.empty();
}

Delivery Journey::delivery() const {
    Delivery out;
    // The store's earlier blocks have run once a block of its context has.
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    for (int i = 0; i < 3; ++i) context->performAndWait([] {});
    auto store = std::make_shared<BLQCoreDataUserEventDataStore>(context);
    std::map<std::string, BLQUserEventStatus> recorded;
    context->performAndWait([&] {
        auto objects = context->fetch(FetchRequest("UserEvent"));
        if (!objects) return;
        for (const auto& object : *objects) {
            auto id = object->stringValue("id");
            if (!id) continue;
            if (auto event = store->getUserEvent(*id)) recorded[*id] = event->status.get();
        }
    });
    std::map<std::string, size_t> received;
    for (const auto& entry : server_.journal()) {
        if (entry.method != "POST" || entry.path != "/v3/logs" || entry.status != 200) continue;
        auto body = Value::fromJSON(entry.body);
        if (!body) continue;
        if (const Array* records = (*body)["records"].getArray())
            for (const auto& record : *records)
                if (const std::string* id = record["log_id"].getString()) ++received[*id];
    }
    out.recorded = recorded.size();
    for (const auto& [id, status] : recorded) {
        if (status == BLQUserEventStatus::sent) {
            ++out.sent;
            if (!received.count(id)) ++out.missing;
        } else if (status == BLQUserEventStatus::deduped || status == BLQUserEventStatus::disabled) {
            ++out.withheld;
        } else {
            ++out.pending;
        }
    }
    for (const auto& [id, times] : received) {
        out.uploaded += times;
        if (times > 1) out.duplicates += times - 1;
        if (!recorded.count(id)) ++out.unknown;
    }
    return out;
}

}  // namespace brindlecue::demo
