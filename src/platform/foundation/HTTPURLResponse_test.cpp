#include "platform/foundation/HTTPURLResponse.h"

#include <gtest/gtest.h>

#include "platform/foundation/InputStream.h"
#include "platform/foundation/URLRequest.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

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

TEST(HTTPURLResponse, StatusTextsFallBackToTheirClassAndTheDescriptionListsTheFields) {
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(199), "informational");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(299), "success");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(399), "redirected");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(499), "client error");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(42), "server error");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(700), "server error");

    HTTPURLResponse bare(*URL::fromString("http://h/"), 200, {});
    EXPECT_EQ(bare.description(), "<NSHTTPURLResponse> { URL: http://h/ } { Status Code: 200, Headers {} }");
    HTTPURLResponse two(*URL::fromString("http://h/"), 201, {{"A", "1"}, {"B", "2"}});
    EXPECT_EQ(two.description(), "<NSHTTPURLResponse> { URL: http://h/ } { Status Code: 201, Headers { A: 1, B: 2 } }");
    URLResponse plain(std::nullopt, std::nullopt, URLResponse::kUnknownLength, std::nullopt);
    EXPECT_EQ(plain.description(), "<NSURLResponse> { URL: (null) }");
    URLRequest none(std::nullopt);
    EXPECT_EQ(none.description(), "<NSURLRequest> { URL: (null) }");
}

TEST(HTTPURLResponse, ContentTypeParametersAndLengthsAreReadStrictly) {
    // Parameters before the charset, a charset without quotes, spaces around the parts.
    HTTPURLResponse withParameters(*URL::fromString("http://h/"), 200,
                                   {{"Content-Type", " text/HTML ; level=1;boundary ;  Charset = ISO-8859-1 "},
                                    {"Content-Length", " 17 "}});
    EXPECT_EQ(withParameters.mimeType(), "text/html");
    EXPECT_EQ(withParameters.textEncodingName(), "iso-8859-1");
    EXPECT_EQ(withParameters.expectedContentLength(), 17);
    // An empty type and an empty charset say nothing; a length that is too long is unknown.
    HTTPURLResponse empty(*URL::fromString("http://h/"), 200,
                          {{"Content-Type", " ; charset=\"\""}, {"Content-Length", std::string(19, '9')}});
    EXPECT_FALSE(empty.mimeType());
    EXPECT_FALSE(empty.textEncodingName());
    EXPECT_EQ(empty.expectedContentLength(), URLResponse::kUnknownLength);
    HTTPURLResponse blank(*URL::fromString("http://h/"), 200, {{"Content-Length", "   "}});
    EXPECT_EQ(blank.expectedContentLength(), URLResponse::kUnknownLength);
}

// A stream of the platform's own kind, with the base class's behaviour.
class CountingStream final : public InputStream {
public:
    long read(uint8_t* buffer, size_t maxLength) override {
        if (!hasBytesAvailable()) return -1;
        size_t n = std::min<size_t>(maxLength, 2);
        for (size_t i = 0; i < n; ++i) buffer[i] = 7;
        return static_cast<long>(n);
    }
    void fail() { setError(Error("test", 1)); }
};

TEST(InputStream, OpensOnceClosesAndKeepsAFailure) {
    CountingStream stream;
    uint8_t buffer[4];
    EXPECT_FALSE(stream.hasBytesAvailable());
    stream.open();
    EXPECT_TRUE(stream.hasBytesAvailable());
    EXPECT_EQ(stream.read(buffer, 4), 2);
    stream.close();
    EXPECT_EQ(stream.streamStatus(), InputStream::Status::Closed);
    EXPECT_FALSE(stream.hasBytesAvailable());
    // Once failed, closing leaves the failure to be seen.
    CountingStream failing;
    failing.open();
    failing.fail();
    failing.close();
    EXPECT_EQ(failing.streamStatus(), InputStream::Status::Error);
    EXPECT_EQ(failing.streamError()->code(), 1);
    EXPECT_FALSE(stream.copy());

    auto data = InputStream::withData(Data{1, 2});
    EXPECT_FALSE(data->hasBytesAvailable());
    data->open();
    EXPECT_TRUE(data->hasBytesAvailable());
    EXPECT_EQ(data->read(buffer, 4), 2);
    EXPECT_FALSE(data->hasBytesAvailable());
    auto none = InputStream::withData(Data{});
    none->open();
    EXPECT_EQ(none->streamStatus(), InputStream::Status::AtEnd);
    EXPECT_EQ(none->read(buffer, 4), 0);
}

TEST(InputStream, AFileStreamOpensOnceAndReadsToItsEnd) {
    auto path = std::filesystem::temp_directory_path() / ("brindlecue-stream-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary) << "abcdef";
    auto stream = InputStream::withURL(URL::fileURL(path.string()));
    ASSERT_TRUE(stream);
    uint8_t buffer[4];
    EXPECT_FALSE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(buffer, 4), -1);
    stream->open();
    stream->open();  // a second open changes nothing
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(buffer, 4), 4);
    EXPECT_EQ(stream->read(buffer, 4), 2);
    EXPECT_EQ(stream->streamStatus(), InputStream::Status::AtEnd);
    EXPECT_EQ(stream->read(buffer, 4), 0);
    EXPECT_FALSE(stream->hasBytesAvailable());
    auto again = stream->copy();
    again->open();
    EXPECT_EQ(again->read(buffer, 4), 4);
    EXPECT_EQ(buffer[0], 'a');
    again->close();
    EXPECT_EQ(again->read(buffer, 4), -1);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace brindlecue::platform
