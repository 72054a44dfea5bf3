#pragma once

// Builds a sample-server route that answers one method and path with a fixed status, body and
// headers.

#include <string>
#include <utility>

#include "sample-server/SampleServer.h"

namespace brindlecue::testsupport {

inline sampleserver::Route route(std::string method, std::string path, int status, std::string body = "",
                                 sampleserver::Headers headers = {}) {
    sampleserver::Route r;
    r.method = std::move(method);
    r.pathPattern = std::move(path);
    r.status = status;
    r.body = std::move(body);
    r.headers = std::move(headers);
    return r;
}

}  // namespace brindlecue::testsupport
