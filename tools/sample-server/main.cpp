// sample-server [--tls] [--port N] [--scenario file.json]
// sample-server --help
// Serves the scenario on 127.0.0.1 until SIGINT or SIGTERM. --help (or -h) prints the usage and
// exits 0. A bad argument exits 2 with the usage; a scenario it cannot read or that is malformed
// exits 1 with what went wrong, and a port it cannot listen on exits 1 naming the port and why.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "sample-server/SampleServer.h"

using brindlecue::sampleserver::SampleServer;
using brindlecue::sampleserver::ServerOptions;

namespace {

constexpr const char* kUsage =
    "usage: sample-server [--tls] [--port N] [--scenario file.json]\n"
    "       sample-server --help\n"
    "\n"
    "Serves on 127.0.0.1, printing \"listening on <base URL>\", until interrupted.\n"
    "  --tls                 HTTPS and WSS with a freshly made self-signed certificate\n"
    "  --port N              the port, 0 to 65535 (default 0: any free port)\n"
    "  --scenario file.json  the routes and websocket answers to serve (a JSON document)\n";

int usage(const std::string& problem) {
    std::cerr << "sample-server: " << problem << "\n" << kUsage;
    return 2;
}

// The port of "--port": a whole number from 0 (any free port) to 65535, nothing else.
std::optional<uint16_t> portOf(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    if (value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    std::string scenarioPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--tls") {
            options.tls = true;
        } else if (arg == "--port" || arg == "--scenario") {
            if (i + 1 >= argc) return usage(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--scenario") {
                scenarioPath = value;
            } else if (auto port = portOf(value)) {
                options.port = *port;
            } else {
                return usage("--port wants a number from 0 to 65535, not \"" + value + "\"");
            }
        } else {
            return usage("unknown argument \"" + arg + "\"");
        }
    }

    SampleServer server(options);
    if (!scenarioPath.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(scenarioPath, ec)) {
            std::cerr << "sample-server: the scenario " << scenarioPath << " is not a file\n";
            return 1;
        }
        std::ifstream file(scenarioPath, std::ios::binary);
        if (!file) {
            std::cerr << "sample-server: cannot read the scenario " << scenarioPath << ": "
                      << std::strerror(errno) << "\n";
            return 1;
        }
        std::stringstream text;
        text << file.rdbuf();
        std::string problem;
        if (!server.loadScenario(text.str(), &problem)) {
            std::cerr << "sample-server: the scenario " << scenarioPath << " is malformed: " << problem
                      << "\n";
            return 1;
        }
    }

    // A shell starts background commands with SIGINT ignored; this server is meant to stop on it.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    // Block the stop signals before any thread starts, so that only sigwait sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        server.start();
    } catch (const std::system_error& e) {
        // The port is taken, or this process may not listen.
        std::cerr << "sample-server: could not listen on "
                  << (options.port ? "port " + std::to_string(options.port) : std::string("a free port"))
                  << ": " << e.code().message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "sample-server: " << e.what() << "\n";
        return 1;
    }
    std::cout << "listening on " << server.baseURL() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
