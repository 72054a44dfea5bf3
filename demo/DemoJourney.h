#pragma once

// The scripted journey of a Shop user, against the sample server: first launch, registration and
// session, the feed, the screens visited and what the user taps on the guides the library shows,
// background and foreground, and a preview-mode session of a guide author. The demo runs it and
// draws what the user sees after each moment; the integration test runs the same journey headless.
//
// Time is the platform's virtual clock: the journey moves it on in small steps while the main run
// loop runs, so seconds (and, between sessions, hours) of the user's time pass quickly.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DemoHost.h"

namespace brindlecue::sampleserver {
class SampleServer;
}

namespace brindlecue::demo {

// One moment of the journey, as the timeline shows it.
struct Moment {
    double clock = 0;                   // seconds of the virtual clock since the journey began
    std::string title;                  // what the user does or what happens
    std::string detail;                 // what the user sees
    std::string screen;                 // the host screen on view
    std::string guide;                  // the guide on screen ("modal welcome"), empty when none
    std::string picture;                // the picture of the screen, empty when none was taken
    std::vector<std::string> requests;  // what the server received since the previous moment
    bool ok = true;                     // the moment came as expected
};

// A guide that showed: its kind, its campaign's feed id, the screen it showed on.
struct GuideShown {
    std::string kind, feedId, screen;
    double clock = 0;
};

// What became of the user events the library recorded, by their ids: those it counts as sent
// against the records the server received.
struct Delivery {
    size_t recorded = 0;    // events in the library's store
    size_t sent = 0;        // of those, marked sent
    size_t withheld = 0;    // of those, held back by design (duplicates, disabled codes)
    size_t uploaded = 0;    // event records the server received
    size_t duplicates = 0;  // records the server received more than once
    size_t missing = 0;     // events marked sent that the server never received
    size_t pending = 0;     // events not sent yet
    size_t unknown = 0;     // records the server received that the store does not hold
    bool exactlyOnce() const { return duplicates == 0 && missing == 0 && pending == 0 && unknown == 0; }
};

class Journey {
public:
    // Draws the key window; returns the picture's file name (empty: none).
    using Capture = std::function<std::string(const std::string& name)>;

    // The server must already serve the scenario (its text is given too: between sessions the
    // journey plays the server's part of leaving out the campaigns the user has finished); the
    // app's main bundle must name the server.
    Journey(sampleserver::SampleServer& server, std::string scenario, Capture capture = nullptr);
    ~Journey();

    // Walks every step; false when a step did not come as expected (the journey goes on).
    bool run();

    const std::vector<Moment>& moments() const { return moments_; }
    const std::vector<GuideShown>& shown() const { return shown_; }
    const std::vector<std::string>& failures() const { return failures_; }
    // Reads the library's event store and the server's journal (after the store has settled).
    Delivery delivery() const;
    std::shared_ptr<ShopApp> app() const { return app_; }

    // How long (real seconds) a step may wait for what it expects.
    double stepTimeout = 20;
    // Told of each moment as it is noted.
    std::function<void(const Moment&)> onMoment;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    sampleserver::SampleServer& server_;
    std::string scenario_;
    Capture capture_;
    std::shared_ptr<ShopApp> app_;
    std::vector<Moment> moments_;
    std::vector<GuideShown> shown_;
    std::vector<std::string> failures_;
    size_t journalSeen_ = 0;
    double startClock_ = 0;

    friend struct Impl;
};

}  // namespace brindlecue::demo
