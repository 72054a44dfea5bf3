#pragma once

#include <string>

#include "platform/Value.h"
#include "sample-server/SampleServer.h"

namespace brindlecue::testsupport {

// A PNG of one colour (with or without an alpha channel) and an opaque JPEG, written by the
// graphics stand-in's encoders.
platform::Data makeTestPNG(int width, int height, bool alpha = true);
platform::Data makeTestJPEG(int width, int height);

// The bytes as a body text of the sample server.
inline std::string bodyText(const platform::Data& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A route answering GET of the path with the bytes and the content type.
sampleserver::Route imageRoute(std::string path, const platform::Data& bytes, std::string contentType = "image/png");

}  // namespace brindlecue::testsupport
