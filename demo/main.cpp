// brindlecue-demo: runs Shop, the sample host app, through a user's journey against the sample
// server, and writes what the user saw: a picture of each moment's screen with its guide, a page
// that lays the pictures out beside the timeline, and the events the server received.
//
//   brindlecue-demo [--out DIR] [--scenario FILE] [--resources DIR] [--scale N]
//
// DIR (default "demo-out") must be new, empty or written by an earlier run: the run removes what
// the earlier run wrote there and nothing else (see OutputFolder.h); every input is checked before
// the folder is touched. FILE is the server's scenario (default the demo's scenario.json); the
// resources are the library's installed resource bundle; the pictures have N pixels per point
// (default 2). Exits 0 when every step went as expected and every event reached the server once,
// 1 otherwise or when an input cannot be used, 2 for a bad argument.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "DemoJourney.h"
#include "OutputFolder.h"
#include "platform/Bundle.h"
#include "platform/Value.h"
#include "platform/dispatch/Clock.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIWindow.h"
#include "sample-server/SampleServer.h"

#ifndef DEMO_SCENARIO
#define DEMO_SCENARIO "scenario.json"
#endif
#ifndef DEMO_RESOURCE_BUNDLE
#define DEMO_RESOURCE_BUNDLE "BrindlecueResources.bundle"
#endif

namespace fs = std::filesystem;
using namespace brindlecue;
using namespace brindlecue::platform;

namespace {

constexpr const char* kUsage =
    "usage: brindlecue-demo [--out DIR] [--scenario FILE] [--resources DIR] [--scale N]\n";

int usage(const std::string& problem) {
    std::cerr << "brindlecue-demo: " << problem << "\n" << kUsage;
    return 2;
}

// The scenario's text; nullopt (with the reason told) when it cannot be read.
std::optional<std::string> readScenario(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        std::cerr << "brindlecue-demo: the scenario " << path << " is not a file\n";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "brindlecue-demo: cannot read the scenario " << path << ": " << std::strerror(errno)
                  << "\n";
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string clockText(double seconds) {
    char buffer[64];
    if (seconds < 120)
        std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
    else if (seconds < 7200)
        std::snprintf(buffer, sizeof buffer, "%.1f min", seconds / 60);
    else
        std::snprintf(buffer, sizeof buffer, "%.1f h", seconds / 3600);
    return buffer;
}

// Draws the key window into a PNG in the output folder, at the scale (pixels per point).
std::string capture(demo::OutputFolder& folder, const std::string& name, double scale) {
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window) return "";
    window->layoutIfNeeded();
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, scale);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto png = UIImagePNGRepresentation(image);
    if (!png) return "";
    const std::string file = name + ".png";
    const fs::path path = folder.add(file);
    if (path.empty()) {
        std::cerr << "brindlecue-demo: " << (folder.path() / file)
                  << " is not the demo's; the picture is left out\n";
        return "";
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    return file;
}

void writePage(const fs::path& file, const demo::Journey& journey, const std::string& summary) {
    std::ofstream page(file);
    page << "<!doctype html><html><head><meta charset=\"utf-8\"><title>Brindlecue demo: Shop</title><style>"
            "body{font-family:sans-serif;margin:24px;background:#f4f4f7;color:#1b1b22}"
            ".moment{display:flex;gap:24px;margin:0 0 20px;padding:16px;background:#fff;border-radius:12px}"
            ".time{width:380px;flex:none}.clock{color:#6b6b75;font-size:13px}.title{font-size:18px;font-"
            "weight:bold;"
            "margin:4px 0}.guide{display:inline-block;margin:6px 0;padding:2px "
            "8px;border-radius:8px;background:#e4ecfb;"
            "color:#2c6bd9;font-size:13px}.bad{color:#b3261e}ul{font-family:monospace;font-size:12px;color:#"
            "4a4a55;"
            "padding-left:18px}img{width:375px;border-radius:24px;border:1px solid "
            "#d0d4e0}</style></head><body>"
            "<h1>Shop meets Brindlecue</h1><p>"
         << escaped(summary)
         << "</p><p>Time runs on the platform's virtual clock: the journey moves it on while the app's main "
            "run "
            "loop runs, so the seconds and hours below pass in moments. The server is the sample server on "
            "127.0.0.1; <a href=\"events.json\">events.json</a> holds the events it received and "
            "<a href=\"requests.json\">requests.json</a> every request.</p>";
    for (const auto& m : journey.moments()) {
        page << "<div class=\"moment\"><div class=\"time\"><div class=\"clock\">t + " << clockText(m.clock)
             << " &middot; " << escaped(m.screen) << "</div><div class=\"title\">" << escaped(m.title)
             << "</div><div" << (m.ok ? "" : " class=\"bad\"") << ">" << escaped(m.detail) << "</div>";
        if (!m.guide.empty()) page << "<div class=\"guide\">" << escaped(m.guide) << "</div>";
        if (!m.requests.empty()) {
            page << "<ul>";
            for (const auto& r : m.requests) page << "<li>" << escaped(r) << "</li>";
            page << "</ul>";
        }
        page << "</div>";
        if (!m.picture.empty())
            page << "<img src=\"" << escaped(m.picture) << "\" alt=\"" << escaped(m.title) << "\">";
        page << "</div>";
    }
    page << "</body></html>\n";
}

void writeServerRecords(const fs::path& eventsFile, const fs::path& requestsFile,
                        const sampleserver::SampleServer& server) {
    Array events;
    Array requests;
    for (const auto& entry : server.journal()) {
        Value request = Value::dictionary({{"method", entry.method},
                                           {"path", entry.path},
                                           {"query", entry.query},
                                           {"status", static_cast<int64_t>(entry.status)},
                                           {"received_at", entry.receivedAt}});
        auto body = Value::fromJSON(entry.body);
        if (body)
            request.set("body", *body);
        else if (!entry.body.empty())
            request.set("body_bytes", static_cast<int64_t>(entry.body.size()));
        requests.push_back(request);
        if (entry.method == "POST" && entry.path == "/v3/logs" && body)
            if (const Array* records = (*body)["records"].getArray())
                for (const auto& record : *records) events.push_back(record);
    }
    std::ofstream(eventsFile) << Value(std::move(events)).toJSON(true).value_or("[]") << "\n";
    std::ofstream(requestsFile) << Value(std::move(requests)).toJSON(true).value_or("[]") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    fs::path out = "demo-out";
    fs::path scenario = DEMO_SCENARIO;
    fs::path resources = DEMO_RESOURCE_BUNDLE;
    double scale = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg != "--scale" && arg != "--out" && arg != "--scenario" && arg != "--resources")
            return usage("unknown argument \"" + arg + "\"");
        if (i + 1 >= argc || argv[i + 1][0] == '\0') return usage(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--scale") {
            char* end = nullptr;
            scale = std::strtod(value.c_str(), &end);
            if (*end != '\0') return usage("--scale wants a number, not \"" + value + "\"");
        } else if (arg == "--out") {
            out = value;
        } else if (arg == "--scenario") {
            scenario = value;
        } else {
            resources = value;
        }
    }
    if (!(scale > 0) || scale > 4) return usage("the scale must be above 0 and at most 4");

    // Every input is checked before the output folder is touched.
    sampleserver::SampleServer server;
    const auto scenarioText = readScenario(scenario);
    if (!scenarioText) return 1;
    std::string problem;
    if (!server.loadScenario(*scenarioText, &problem)) {
        std::cerr << "brindlecue-demo: the scenario " << scenario << " is malformed: " << problem << "\n";
        return 1;
    }
    std::error_code ec;
    if (!fs::is_directory(resources, ec)) {
        std::cerr << "brindlecue-demo: the resource bundle " << resources << " is not a folder\n";
        return 1;
    }
    // "--out ." names the folder itself: "/home/me/shots", not "/home/me/shots/.".
    fs::path outPath = fs::absolute(out).lexically_normal();
    if (outPath.filename().empty() && outPath.has_relative_path()) outPath = outPath.parent_path();
    auto folder = demo::OutputFolder::take(outPath, &problem);
    if (!folder) {
        std::cerr << "brindlecue-demo: " << problem << "\n";
        return 1;
    }
    out = folder->path();
    const fs::path container = folder->add("container/");
    if (container.empty() || !fs::create_directories(container, ec)) {
        std::cerr << "brindlecue-demo: cannot make the app's sandbox " << (out / "container") << "\n";
        return 1;
    }
    // The app's sandbox lives beside the pictures, fresh for every run: a first launch.
    setenv("BRINDLECUE_CONTAINER", container.c_str(), 1);
    Clock::useVirtual();
    try {
        server.start();
    } catch (const std::exception& e) {
        std::cerr << "brindlecue-demo: the sample server cannot start: " << e.what() << "\n";
        return 1;
    }

    // The app bundle: its information property list names the server, and it ships the library's
    // resource bundle.
    auto bundle = Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", server.baseURL()},
                                            {Bundle::kNameKey, "Shop"},
                                            {Bundle::kDisplayNameKey, "Shop"},
                                            {Bundle::kIdentifierKey, "com.example.shop"},
                                            {Bundle::kShortVersionStringKey, "1.4.0"},
                                            {Bundle::kVersionKey, "12"}});
    std::error_code copied;
    fs::copy(resources, bundle->path() / "BrindlecueResources.bundle", fs::copy_options::recursive, copied);
    if (copied) {
        std::cerr << "brindlecue-demo: cannot copy the resource bundle " << resources << ": "
                  << copied.message() << "\n";
        return 1;
    }

    demo::Journey journey(server, *scenarioText,
                          [&](const std::string& name) { return capture(*folder, name, scale); });
    journey.onMoment = [](const demo::Moment& m) {
        std::cout << "  [t+" << clockText(m.clock) << "] " << (m.ok ? "" : "FAILED: ") << m.title << ": "
                  << m.detail << std::endl;
    };
    const bool ok = journey.run();
    const auto delivery = journey.delivery();

    std::ostringstream summary;
    summary << journey.shown().size() << " guides shown, " << delivery.uploaded << " events uploaded, "
            << (delivery.exactlyOnce() ? "none lost" : "NOT all delivered exactly once");
    if (!delivery.exactlyOnce())
        summary << " (" << delivery.missing << " missing, " << delivery.pending << " pending, "
                << delivery.duplicates << " duplicated, " << delivery.unknown << " unknown)";
    // A step that did not go as expected is named, so that the line says what went wrong.
    if (!ok) {
        std::vector<std::string> failed;
        for (const auto& m : journey.moments())
            if (!m.ok) failed.push_back(m.title);
        summary << "; " << failed.size() << " of " << journey.moments().size() << " steps failed:";
        for (size_t i = 0; i < failed.size(); ++i) summary << (i ? ", " : " ") << failed[i];
    }

    const fs::path eventsFile = folder->add("events.json");
    const fs::path requestsFile = folder->add("requests.json");
    const fs::path pageFile = folder->add("index.html");
    if (eventsFile.empty() || requestsFile.empty() || pageFile.empty()) {
        std::cerr << "brindlecue-demo: the page and the journals are not the demo's in " << out << "\n";
        std::fflush(stdout);
        std::_Exit(1);
    }
    writeServerRecords(eventsFile, requestsFile, server);
    writePage(pageFile, journey, summary.str());
    for (const auto& failure : journey.failures()) std::cerr << "demo: " << failure << "\n";
    std::cout << "Pictures and timeline: " << pageFile.string() << "\n";
    std::cout << summary.str() << "\n";
    server.stop();
    // The library's worker threads live for the process: leave without unwinding them.
    std::fflush(stdout);
    std::_Exit(ok && delivery.exactlyOnce() ? 0 : 1);
}
