#include "network/library/KJAFStreamingMultipartFormData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "network/library/KJAFHTTPRequestSerializer.h"
#include "platform/AppContainer.h"
#include "platform/Bundle.h"
#include "support/StringTables.h"

namespace brindlecue {
namespace {

using platform::Data;

// The library's string table, as the host app ships it in its main bundle.

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

std::string readAll(platform::InputStream& stream, size_t chunk) {
    stream.open();
    std::string out;
    std::vector<uint8_t> buffer(chunk);
    while (true) {
        long n = stream.read(buffer.data(), chunk);
        if (n <= 0) break;
        out.append(buffer.begin(), buffer.begin() + n);
    }
    return out;
}

platform::URLRequest postRequest() {
    platform::URLRequest request(platform::URL::fromString("http://h/upload"));
    request.setHTTPMethod("POST");
    return request;
}

TEST(KJAFStreamingMultipartFormData, OneFieldHasTheExactLayoutAndLength) {
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    EXPECT_TRUE(std::regex_match(form.boundary(), std::regex("Boundary\\+[0-9A-F]{16}")));
    EXPECT_NE(form.boundary(), KJAFStreamingMultipartFormData(postRequest(), KJAFUTF8StringEncoding).boundary());

    form.appendPartWithFormData(bytes("x"), "a");
    auto request = form.requestByFinalizingMultipartFormData();
    const std::string& b = form.boundary();
    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--" + b + "--\r\n";
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + b);
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    ASSERT_TRUE(request.httpBodyStream());
    EXPECT_EQ(readAll(*request.httpBodyStream(), 4096), expected);
}

TEST(KJAFStreamingMultipartFormData, SeveralPartsReadTheSameInAnyChunkSize) {
    auto dir = platform::AppContainer::root() / "upload";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "shot.png", std::ios::binary) << std::string(3000, 'p');

    auto build = [&](std::string* boundary) {
        KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
        *boundary = form.boundary();
        std::optional<platform::Error> error;
        EXPECT_TRUE(form.appendPartWithFileURL(platform::URL::fileURL((dir / "shot.png").string()), "file", &error));
        form.appendPartWithFormData(Data(), "empty");
        form.appendPartWithFileData(bytes("{}"), "meta", "meta.bin", "application/x-unknown");
        return form.requestByFinalizingMultipartFormData();
    };
    std::string b1, b2;
    auto whole = build(&b1);
    auto byByte = build(&b2);
    std::string one = readAll(*whole.httpBodyStream(), 65536);
    std::string two = readAll(*byByte.httpBodyStream(), 1);
    EXPECT_EQ(one.size(), std::stoull(*whole.valueForHTTPHeaderField("Content-Length")));
    EXPECT_EQ(two.size(), one.size());
    for (size_t at = two.find(b2); at != std::string::npos; at = two.find(b2, at)) two.replace(at, b2.size(), b1);
    EXPECT_EQ(two, one);

    EXPECT_NE(one.find("name=\"file\"; filename=\"shot.png\"\r\nContent-Type: image/png\r\n\r\n" + std::string(3000, 'p') +
                       "\r\n--" + b1 + "\r\n"),
              std::string::npos);
    EXPECT_NE(one.find("name=\"empty\"\r\n\r\n\r\n--"), std::string::npos);
    EXPECT_TRUE(one.ends_with("{}\r\n--" + b1 + "--\r\n"));
    // A copy of the body stream (a redirected upload sends it again) reads the same bytes.
    EXPECT_EQ(readAll(*whole.httpBodyStream()->copy(), 100), one);
}

TEST(KJAFStreamingMultipartFormData, AnEmptyBuilderLeavesTheRequestAlone) {
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    auto request = form.requestByFinalizingMultipartFormData();
    EXPECT_FALSE(request.httpBodyStream());
    EXPECT_FALSE(request.valueForHTTPHeaderField("Content-Type"));
}

TEST(KJAFStreamingMultipartFormData, RefusesFilesItCannotRead) {
    testsupport::installMossgroveStringTable();
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    std::optional<platform::Error> error;
    EXPECT_FALSE(form.appendPartWithFileURL(*platform::URL::fromString("https://h/x.png"), "f", &error));
    EXPECT_EQ(error->domain(), "com.quernwick.error.serialization.request");
    EXPECT_EQ(error->code(), -1000);
    EXPECT_EQ(error->userInfo()[platform::Error::kLocalizedFailureReasonKey].stringValue(),
              "Expected URL to be a file URL");
    error.reset();
    EXPECT_FALSE(form.appendPartWithFileURL(platform::URL::fileURL("/no/such/file.png"), "f", &error));
    EXPECT_EQ(error->code(), -1000);
    EXPECT_EQ(error->userInfo()[platform::Error::kLocalizedFailureReasonKey].stringValue(), "File URL not reachable.");
    EXPECT_TRUE(form.bodyStream()->isEmpty());

    EXPECT_EQ(KJAFStreamingMultipartFormData::MIMETypeForPathExtension("PNG"), "image/png");
    EXPECT_EQ(KJAFStreamingMultipartFormData::MIMETypeForPathExtension("qqq"), "application/octet-stream");
}

TEST(KJAFStreamingMultipartFormData, AFailingPartStreamFailsTheRead) {
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    form.appendPartWithInputStream(platform::InputStream::withFileAtPath("/no/such/file"), "f", "f.bin", 10,
                                   "application/octet-stream");
    auto request = form.requestByFinalizingMultipartFormData();
    auto& stream = *request.httpBodyStream();
    stream.open();
    uint8_t buffer[4096];
    // The failure is reported, never taken for the end of the body.
    EXPECT_EQ(stream.read(buffer, sizeof buffer), -1);
    EXPECT_TRUE(stream.streamError());
}

TEST(KJAFStreamingMultipartFormData, ACopiedBodyReadsTheSameAndAClosedOrFailedOneStaysSo) {
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    form.appendPartWithFormData(bytes("first"), "a");
    form.appendPartWithInputStream(platform::InputStream::withData(bytes("streamed")), "s", "s.txt", 8, "text/plain");
    auto request = form.requestByFinalizingMultipartFormData();
    auto original = request.httpBodyStream();
    // A copy made before the original is read reads the stream part from a fresh stream too.
    auto copy = original->copy();
    ASSERT_TRUE(copy);
    std::string body = readAll(*original, 4096);
    EXPECT_NE(body.find("\r\n\r\nstreamed\r\n"), std::string::npos);
    EXPECT_EQ(readAll(*copy, 7), body);
    // Opening again while open changes nothing; once closed it gives nothing more.
    original->open();
    original->close();
    uint8_t buffer[64];
    EXPECT_EQ(original->read(buffer, sizeof buffer), 0);

    KJAFStreamingMultipartFormData failing(postRequest(), KJAFUTF8StringEncoding);
    failing.appendPartWithFormData(bytes("x"), "x");
    failing.appendPartWithInputStream(platform::InputStream::withFileAtPath("/no/such/file"), "f", "f.bin", 10,
                                      "application/octet-stream");
    auto failed = failing.requestByFinalizingMultipartFormData().httpBodyStream();
    failed->open();
    // What came before the failing part is handed on, then the failure, and it stays.
    std::string before;
    long n;
    while ((n = failed->read(buffer, sizeof buffer)) > 0) before.append(reinterpret_cast<char*>(buffer), n);
    EXPECT_EQ(n, -1);
    EXPECT_NE(before.find("name=\"x\"\r\n\r\nx\r\n"), std::string::npos);
    EXPECT_EQ(failed->read(buffer, sizeof buffer), -1);
    EXPECT_TRUE(failed->streamError());
}

TEST(KJAFStreamingMultipartFormData, AThrottledBodyComesInPacketsOfTheGivenSize) {
    KJAFStreamingMultipartFormData form(postRequest(), KJAFUTF8StringEncoding);
    form.appendPartWithFormData(bytes(std::string(100, 'q')), "q");
    form.throttleBandwidthWithPacketSize(16, 0.0001);
    auto stream = form.requestByFinalizingMultipartFormData().httpBodyStream();
    stream->open();
    uint8_t buffer[4096];
    std::string body;
    for (long n; (n = stream->read(buffer, sizeof buffer)) > 0;) {
        EXPECT_LE(n, 16);
        body.append(reinterpret_cast<char*>(buffer), n);
    }
    EXPECT_NE(body.find(std::string(100, 'q')), std::string::npos);
}

TEST(KJAFHTTPRequestSerializer, MultipartRequestsCarryTheParametersAsFields) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    std::optional<platform::Error> error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://h/up", platform::Value::dictionary({{"b", 2}, {"a", platform::Value::null()}}),
        [](KJAFMultipartFormData& form) { form.appendPartWithFormData(bytes("z"), "c"); }, &error);
    ASSERT_TRUE(request);
    std::string body = readAll(*request->httpBodyStream(), 4096);
    auto a = body.find("name=\"a\"\r\n\r\n\r\n");
    auto b = body.find("name=\"b\"\r\n\r\n2\r\n");
    auto c = body.find("name=\"c\"\r\n\r\nz\r\n");
    EXPECT_TRUE(a < b && b < c && c != std::string::npos);
    EXPECT_TRUE(request->valueForHTTPHeaderField("User-Agent"));
}

}  // namespace
}  // namespace brindlecue
