#include "platform/foundation/HTTPURLResponse.h"

#include <gtest/gtest.h>

#include "platform/foundation/URLRequest.h"

namespace brindlecue::platform {
namespace {

TEST(HTTPURLResponse, ReadsHeaderFieldsWithoutRegardToCase) {
    HTTPURLResponse response(*URL::fromString("http://h/x"), 429,
                             {{"Content-Type", "Application/JSON; charset=\"UTF-8\""},
                              {"Content-Length", "42"},
                              {"retry-after", "120"},
                              {"Set-Cookie", "a=1"},
                              {"set-cookie", "b=2"}});
    EXPECT_EQ(response.statusCode(), 429);
    EXPECT_EQ(response.mimeType(), "application/json");
    EXPECT_EQ(response.textEncodingName(), "utf-8");
    EXPECT_EQ(response.expectedContentLength(), 42);
    EXPECT_EQ(response.valueForHTTPHeaderField("RETRY-AFTER"), "120");
    EXPECT_EQ(response.valueForHTTPHeaderField("Set-Cookie"), "a=1, b=2");
    EXPECT_FALSE(response.valueForHTTPHeaderField("X-Missing"));
    // The dictionary keeps the names as sent.
    EXPECT_EQ(response.allHeaderFields()["retry-after"].stringValue(), "120");
    EXPECT_TRUE(response.allHeaderFields()["Retry-After"].isAbsent());
    EXPECT_EQ(response.url()->absoluteString(), "http://h/x");
}

TEST(HTTPURLResponse, LeavesWhatTheAnswerDoesNotSayUnknown) {
    HTTPURLResponse response(*URL::fromString("http://h/"), 204, {{"Content-Length", "12abc"}});
    EXPECT_FALSE(response.mimeType());
    EXPECT_FALSE(response.textEncodingName());
    EXPECT_EQ(response.expectedContentLength(), URLResponse::kUnknownLength);
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(599), "server error");
}

TEST(URLRequest, KeepsOneValuePerHeaderNameAndOneBodyKind) {
    URLRequest request(URL::fromString("http://h/"));
    EXPECT_EQ(request.httpMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    EXPECT_FALSE(request.hasExplicitTimeout());
    EXPECT_TRUE(request.httpShouldHandleCookies());

    request.setValue("application/json", "Content-Type");
    request.setValue("text/plain", "content-type");
    request.addValue("gzip", "Accept-Encoding");
    request.addValue("br", "ACCEPT-ENCODING");
    EXPECT_EQ(request.valueForHTTPHeaderField("CONTENT-TYPE"), "text/plain");
    EXPECT_EQ(request.valueForHTTPHeaderField("accept-encoding"), "gzip,br");
    EXPECT_EQ(request.allHTTPHeaderFields().size(), 2u);
    request.setValue(std::nullopt, "Content-Type");
    EXPECT_FALSE(request.valueForHTTPHeaderField("Content-Type"));

    request.setHTTPBody(Data{1, 2});
    request.setHTTPBodyStream(InputStream::withData(Data{3}));
    EXPECT_FALSE(request.httpBody());
    request.setHTTPBody(Data{4});
    EXPECT_FALSE(request.httpBodyStream());

    URLRequest timed(URL::fromString("http://h/"), URLRequest::CachePolicy::ReloadIgnoringLocalCacheData, 15.0);
    EXPECT_TRUE(timed.hasExplicitTimeout());
    EXPECT_EQ(timed.timeoutInterval(), 15.0);
}

TEST(InputStream, ReadsDataAndFilesToTheEnd) {
    auto stream = InputStream::withData(Data{1, 2, 3, 4, 5});
    uint8_t buffer[3];
    EXPECT_EQ(stream->read(buffer, 3), -1);  // not open
    stream->open();
    EXPECT_EQ(stream->read(buffer, 3), 3);
    EXPECT_EQ(stream->read(buffer, 3), 2);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(stream->streamStatus(), InputStream::Status::AtEnd);
    EXPECT_EQ(stream->read(buffer, 3), 0);
    auto copy = stream->copy();
    copy->open();
    EXPECT_EQ(copy->read(buffer, 3), 3);
    EXPECT_EQ(buffer[0], 1);

    auto missing = InputStream::withFileAtPath("/nonexistent/file");
    missing->open();
    EXPECT_EQ(missing->streamStatus(), InputStream::Status::Error);
    EXPECT_TRUE(missing->streamError());
    EXPECT_EQ(missing->read(buffer, 3), -1);
    EXPECT_FALSE(InputStream::withURL(*URL::fromString("http://h/")));
}

}  // namespace
}  // namespace brindlecue::platform
