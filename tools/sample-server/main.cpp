// sample-server [--tls] [--port N] [--scenario file.json]
// Serves the scenario on 127.0.0.1 until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "sample-server/SampleServer.h"

using brindlecue::sampleserver::SampleServer;
using brindlecue::sampleserver::ServerOptions;

namespace {

int usage() {
    std::cerr << "usage: sample-server [--tls] [--port N] [--scenario file.json]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    std::string scenarioPath;
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--tls") {
            options.tls = true;
        } else if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 0 || value > 65535) return usage();
            port = static_cast<int>(value);
        } else if (arg == "--scenario" && i + 1 < argc) {
            scenarioPath = argv[++i];
        } else {
            return usage();
        }
    }
    options.port = static_cast<uint16_t>(port);

    SampleServer server(options);
    if (!scenarioPath.empty()) {
        std::ifstream file(scenarioPath);
        if (!file) {
            std::cerr << "sample-server: cannot read " << scenarioPath << "\n";
            return 1;
        }
        std::stringstream text;
        text << file.rdbuf();
        if (!server.loadScenario(text.str())) {
            std::cerr << "sample-server: malformed scenario " << scenarioPath << "\n";
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
