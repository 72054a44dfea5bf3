#include "network/library/KJAFHTTPRequestSerializer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "network/library/KJAFJSONRequestSerializer.h"
#include "network/library/KJAFPropertyListRequestSerializer.h"
#include "network/library/KJAFQueryStringPair.h"
#include "platform/AppContainer.h"
#include "platform/Device.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/InputStream.h"

#include <fstream>
#include <sstream>

namespace brindlecue {
namespace {

using platform::URLRequest;

void setPreferredLanguages(std::vector<std::string> languages) {
    platform::DeviceOverrides overrides;
    overrides.preferredLanguages = std::move(languages);
    platform::Device::setOverrides(overrides);
}
using platform::Value;

std::string text(const std::optional<platform::Data>& data) {
    return data ? std::string(data->begin(), data->end()) : "<none>";
}

URLRequest build(KJAFHTTPRequestSerializer& serializer, const std::string& method, const std::string& url,
                 const Value& parameters = Value()) {
    std::optional<platform::Error> error;
    auto request = serializer.requestWithMethod(method, url, parameters, &error);
    EXPECT_FALSE(error) << error->description();
    EXPECT_TRUE(request);
    return request.value_or(URLRequest());
}

TEST(KJAFQueryEncoding, FlattensNestedValuesInSortedKeyOrderWithEscaping) {
    Value parameters = Value::dictionary(
        {{"b", 1}, {"a", Value::dictionary({{"y", 2}, {"x", Value::array({3, 4})}})}, {"n", Value::null()}});
    EXPECT_EQ(KJAFQueryStringFromParameters(parameters), "a%5Bx%5D%5B%5D=3&a%5Bx%5D%5B%5D=4&a%5By%5D=2&b=1&n");
    EXPECT_EQ(KJAFQueryStringFromParameters(Value::dictionary({{"q", "a b&c"}, {"f", 0.5}, {"t", true}})),
              "f=0.5&q=a%20b%26c&t=1");
    // Array elements keep their order; only "-._~/?" stay as they are among the marks.
    EXPECT_EQ(KJAFQueryStringFromParameters(Value::dictionary({{"k", Value::array({"z", "a"})}})),
              "k%5B%5D=z&k%5B%5D=a");
    EXPECT_EQ(KJAFPercentEscapedStringFromString("-._~/?:#[]@!$&'()*+,;="),
              "-._~/?%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D");
    // A long text with a surrogate pair across the 50-unit border keeps the character whole.
    std::string longText = std::string(49, 'a') + "\xF0\x9F\x98\x80" + "b";
    EXPECT_EQ(KJAFPercentEscapedStringFromString(longText), std::string(49, 'a') + "%F0%9F%98%80b");
}

TEST(KJAFHTTPRequestSerializer, AcceptLanguageListsUpToSixLanguagesWithQValues) {
    setPreferredLanguages({"en-GB", "fr"});
    EXPECT_EQ(KJAFHTTPRequestSerializer().valueForHTTPHeaderField("Accept-Language"), "en-GB;q=1, fr;q=0.9");
    setPreferredLanguages({"a", "b", "c", "d", "e", "f", "g"});
    EXPECT_EQ(KJAFHTTPRequestSerializer().valueForHTTPHeaderField("Accept-Language"),
              "a;q=1, b;q=0.9, c;q=0.8, d;q=0.7, e;q=0.6, f;q=0.5");
    platform::Device::setOverrides({});
    auto agent = KJAFHTTPRequestSerializer().valueForHTTPHeaderField("user-agent");
    ASSERT_TRUE(agent);
    EXPECT_NE(agent->find(" (iPhone; iOS 17.5; Scale/3.00)"), std::string::npos) << *agent;
}

TEST(KJAFHTTPRequestSerializer, EncodesParametersIntoTheQueryOrTheFormBody) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    auto get = build(*serializer, "GET", "http://h/p", Value::dictionary({{"q", "a b&c"}}));
    EXPECT_EQ(get.url()->absoluteString(), "http://h/p?q=a%20b%26c");
    EXPECT_FALSE(get.httpBody());
    auto joined = build(*serializer, "delete", "http://h/p?x=1", Value::dictionary({{"b", 1}, {"a", 2}}));
    EXPECT_EQ(joined.url()->absoluteString(), "http://h/p?x=1&a=2&b=1");

    auto post = build(*serializer, "POST", "http://h/p");
    EXPECT_EQ(text(post.httpBody()), "");
    EXPECT_EQ(post.valueForHTTPHeaderField("Content-Type"), "application/x-www-form-urlencoded");
    auto form = build(*serializer, "PUT", "http://h/p", Value::dictionary({{"a", Value::array({1, 2})}}));
    EXPECT_EQ(text(form.httpBody()), "a%5B%5D=1&a%5B%5D=2");

    // The verbatim body: sent as it is by the form serializer, appended unescaped to a GET's URL.
    Value verbatim = Value::dictionary({{"KJ_BODY", "[\"x\"]"}});
    EXPECT_EQ(text(build(*serializer, "POST", "http://h/p", verbatim).httpBody()), "[\"x\"]");
    EXPECT_EQ(build(*serializer, "GET", "http://h/p", Value::dictionary({{"KJ_BODY", "a=1"}})).url()->absoluteString(),
              "http://h/p?a=1");
    auto json = KJAFJSONRequestSerializer::serializer();
    auto jsonPost = build(*json, "POST", "http://h/p", verbatim);
    EXPECT_EQ(text(jsonPost.httpBody()), "{\"KJ_BODY\":\"[\\\"x\\\"]\"}");
    EXPECT_EQ(jsonPost.valueForHTTPHeaderField("Content-Type"), "application/json");
    EXPECT_EQ(build(*json, "GET", "http://h/p", Value::dictionary({{"a", 1}})).url()->absoluteString(),
              "http://h/p?a=1");
}

TEST(KJAFHTTPRequestSerializer, HeadersAndSettings) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    serializer->setValue("text/own", "Content-Type");
    serializer->setValue("k", "X-App-Key");
    URLRequest own(platform::URL::fromString("http://h/p"));
    own.setHTTPMethod("POST");
    own.setValue("application/mine", "Content-Type");
    std::optional<platform::Error> error;
    auto request = serializer->requestBySerializingRequest(own, Value(), &error);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "application/mine");
    EXPECT_EQ(request->valueForHTTPHeaderField("X-App-Key"), "k");
    // Names match without regard to case: a second spelling replaces the first.
    serializer->setValue("k2", "x-app-key");
    EXPECT_EQ(serializer->valueForHTTPHeaderField("X-APP-KEY"), "k2");
    auto headers = serializer->HTTPRequestHeaders();
    EXPECT_EQ(std::count_if(headers.begin(), headers.end(),
                            [](const auto& h) { return platform::headerNameEquals(h.first, "X-App-Key"); }),
              1);
    EXPECT_EQ(build(*serializer, "GET", "http://h/").valueForHTTPHeaderField("X-App-Key"), "k2");
    serializer->setValue(std::nullopt, "X-APP-KEY");
    EXPECT_FALSE(build(*serializer, "GET", "http://h/").valueForHTTPHeaderField("X-App-Key"));

    EXPECT_FALSE(build(*serializer, "GET", "http://h/").hasExplicitTimeout());
    serializer->setTimeoutInterval(60);
    serializer->setHTTPShouldHandleCookies(false);
    auto set = build(*serializer, "GET", "http://h/");
    EXPECT_TRUE(set.hasExplicitTimeout());
    EXPECT_EQ(set.timeoutInterval(), 60);
    EXPECT_FALSE(set.httpShouldHandleCookies());
    serializer->setTimeoutInterval(std::nullopt);
    EXPECT_FALSE(build(*serializer, "GET", "http://h/").hasExplicitTimeout());

    serializer->setAuthorizationHeaderFieldWithUsername("user", "pass");
    EXPECT_EQ(serializer->valueForHTTPHeaderField("Authorization"), "Basic dXNlcjpwYXNz");
    serializer->clearAuthorizationHeader();
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("Authorization"));

    EXPECT_FALSE(build(*serializer, "GET", "not a url").url());
}

TEST(KJAFHTTPRequestSerializer, FailuresOfEncoding) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock([](const URLRequest&, const Value&, std::optional<platform::Error>* e) {
        *e = platform::Error("test", 7);
        return std::optional<std::string>();
    });
    std::optional<platform::Error> error;
    EXPECT_FALSE(serializer->requestWithMethod("GET", "http://h/", Value::dictionary({{"a", 1}}), &error));
    EXPECT_EQ(error->code(), 7);

    // A JSON body that cannot be written reports the error and leaves the request without a body.
    error.reset();
    auto json = KJAFJSONRequestSerializer::serializer();
    auto request = json->requestWithMethod("POST", "http://h/", Value::dictionary({{"d", platform::Date()}}), &error);
    ASSERT_TRUE(request);
    EXPECT_TRUE(error);
    EXPECT_FALSE(request->httpBody());
}

TEST(KJAFHTTPRequestSerializer, JSONAndPropertyListBodies) {
    auto json = KJAFJSONRequestSerializer::serializer();
    Value body = Value::dictionary({{"name", "n"}, {"list", Value::array({1, Value::null()})}});
    EXPECT_EQ(text(build(*json, "PATCH", "http://h/", body).httpBody()), "{\"name\":\"n\",\"list\":[1,null]}");
    EXPECT_FALSE(build(*json, "POST", "http://h/").valueForHTTPHeaderField("Content-Type"));

    auto plist = KJAFPropertyListRequestSerializer::serializer();
    auto request = build(*plist, "POST", "http://h/", Value::dictionary({{"a", 1}}));
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Type"), "application/x-plist");
    auto decoded = Value::fromPropertyList(*request.httpBody());
    ASSERT_TRUE(decoded);
    EXPECT_EQ((*decoded)["a"].integerValue(), 1);
    EXPECT_NE(text(request.httpBody()).find("<?xml"), std::string::npos);
}

TEST(KJAFHTTPRequestSerializer, DefaultHeadersMayChangeWhileRequestsAreBuilt) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            serializer->setValue("v" + std::to_string(i), "X-Header-" + std::to_string(i % 40));
            if (i % 3 == 0) serializer->setValue(std::nullopt, "X-Header-" + std::to_string((i + 7) % 40));
        }
    });
    for (int i = 0; i < 500; ++i) {
        auto request = build(*serializer, "GET", "http://h/");
        ASSERT_TRUE(request.valueForHTTPHeaderField("User-Agent"));
    }
    stop = true;
    writer.join();
}

TEST(KJAFHTTPRequestSerializer, OnlySettingsThatWereSetReachTheRequest) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    URLRequest plain = build(*serializer, "GET", "http://h/");
    serializer->setAllowsCellularAccess(!plain.allowsCellularAccess());
    serializer->setCachePolicy(URLRequest::CachePolicy::ReturnCacheDataDontLoad);
    serializer->setHTTPShouldUsePipelining(!plain.httpShouldUsePipelining());
    serializer->setNetworkServiceType(3);
    URLRequest set = build(*serializer, "GET", "http://h/");
    EXPECT_EQ(set.allowsCellularAccess(), !plain.allowsCellularAccess());
    EXPECT_EQ(set.cachePolicy(), URLRequest::CachePolicy::ReturnCacheDataDontLoad);
    EXPECT_EQ(set.httpShouldUsePipelining(), !plain.httpShouldUsePipelining());
    EXPECT_EQ(set.networkServiceType(), 3u);
    // Cleared again, each goes back to the request's own default.
    serializer->setAllowsCellularAccess(std::nullopt);
    serializer->setCachePolicy(std::nullopt);
    serializer->setHTTPShouldUsePipelining(std::nullopt);
    serializer->setNetworkServiceType(std::nullopt);
    URLRequest cleared = build(*serializer, "GET", "http://h/");
    EXPECT_EQ(cleared.allowsCellularAccess(), plain.allowsCellularAccess());
    EXPECT_EQ(cleared.cachePolicy(), plain.cachePolicy());
    EXPECT_EQ(cleared.networkServiceType(), plain.networkServiceType());
}

TEST(KJAFHTTPRequestSerializer, AQueryStyleOtherThanTheDefaultEncodesNoParameters) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithStyle(1);
    EXPECT_EQ(build(*serializer, "GET", "http://h/p", Value::dictionary({{"a", 1}})).url()->absoluteString(),
              "http://h/p");
    EXPECT_EQ(text(build(*serializer, "POST", "http://h/p", Value::dictionary({{"a", 1}})).httpBody()), "");
    // The verbatim body still goes out as it is.
    EXPECT_EQ(text(build(*serializer, "POST", "http://h/p", Value::dictionary({{"KJ_BODY", "raw"}})).httpBody()),
              "raw");
    // Parameters added to a URL that already has a query join it with "&".
    serializer->setQueryStringSerializationWithStyle(0);
    EXPECT_EQ(build(*serializer, "GET", "http://h/p?x=1", Value::dictionary({{"a", 1}})).url()->absoluteString(),
              "http://h/p?x=1&a=1");
}

TEST(KJAFHTTPRequestSerializer, MultipartFieldsTakeDataAsItIsAndFlagsAsDigits) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    std::optional<platform::Error> error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://h/up",
        Value::dictionary({{"bin", platform::Data{0x00, 0xFF}}, {"no", false}, {"yes", true}}), nullptr, &error);
    ASSERT_TRUE(request);
    auto& stream = *request->httpBodyStream();
    stream.open();
    std::string body;
    uint8_t buffer[512];
    for (long n; (n = stream.read(buffer, sizeof buffer)) > 0;) body.append(reinterpret_cast<char*>(buffer), n);
    EXPECT_NE(body.find(std::string("name=\"bin\"\r\n\r\n") + std::string(1, '\0') + "\xFF\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"no\"\r\n\r\n0\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"yes\"\r\n\r\n1\r\n"), std::string::npos);
}

TEST(KJAFHTTPRequestSerializer, WritesAMultipartBodyToAFileAndReportsOnTheMainQueue) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    std::optional<platform::Error> error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://h/up", Value::dictionary({{"a", "1"}}),
        [](KJAFMultipartFormData& form) { form.appendPartWithFormData(platform::Data(3000, 'z'), "big"); }, &error);
    ASSERT_TRUE(request);
    // What the stream gives, read from a second request built the same way.
    auto twin = serializer->multipartFormRequestWithMethod(
        "POST", "http://h/up", Value::dictionary({{"a", "1"}}),
        [](KJAFMultipartFormData& form) { form.appendPartWithFormData(platform::Data(3000, 'z'), "big"); }, &error);

    auto path = platform::AppContainer::temporaryDirectory() / "body.bin";
    std::atomic<bool> done{false};
    std::optional<platform::Error> reported = platform::Error("unset", 0);
    bool onMain = false;
    URLRequest copy = serializer->requestWithMultipartFormRequest(
        *request, platform::URL::fileURL(path.string()), [&](std::optional<platform::Error> e) {
            reported = e;
            onMain = platform::isMainThread();
            done = true;
        });
    EXPECT_FALSE(copy.httpBodyStream());
    EXPECT_EQ(copy.valueForHTTPHeaderField("Content-Type"), request->valueForHTTPHeaderField("Content-Type"));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return done.load(); }, 20));
    EXPECT_FALSE(reported);
    EXPECT_TRUE(onMain);
    std::ifstream file(path, std::ios::binary);
    std::stringstream written;
    written << file.rdbuf();
    auto& stream = *twin->httpBodyStream();
    stream.open();
    std::string expected;
    uint8_t buffer[700];
    for (long n; (n = stream.read(buffer, sizeof buffer)) > 0;) expected.append(reinterpret_cast<char*>(buffer), n);
    // The boundary differs between the two builders; everything else is the same.
    EXPECT_EQ(written.str().size(), expected.size());
    EXPECT_NE(written.str().find(std::string(3000, 'z')), std::string::npos);

    // A file that cannot be opened is reported as the error, still on the main queue.
    done = false;
    auto nowhere = platform::AppContainer::temporaryDirectory() / "no-folder" / "body.bin";
    serializer->requestWithMultipartFormRequest(*twin, platform::URL::fileURL(nowhere.string()),
                                                [&](std::optional<platform::Error> e) {
                                                    reported = e;
                                                    done = true;
                                                });
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return done.load(); }, 20));
    ASSERT_TRUE(reported);
    EXPECT_EQ(reported->domain(), "NSPOSIXErrorDomain");
}

TEST(KJAFHTTPRequestSerializer, PropertyListBodiesInEitherFormatAndOnlyForMethodsWithABody) {
    auto binary = KJAFPropertyListRequestSerializer::serializerWithFormat(KJAFPropertyListRequestSerializer::kBinaryFormat, 0);
    auto request = build(*binary, "PUT", "http://h/", Value::dictionary({{"a", 1}}));
    ASSERT_TRUE(request.httpBody());
    EXPECT_EQ(text(request.httpBody()).rfind("bplist00", 0), 0u);
    EXPECT_EQ((*Value::fromPropertyList(*request.httpBody()))["a"].integerValue(), 1);
    // Parameters of a GET go into the query, as with the form serializer.
    auto get = build(*binary, "GET", "http://h/p", Value::dictionary({{"a", 1}}));
    EXPECT_EQ(get.url()->absoluteString(), "http://h/p?a=1");
    EXPECT_FALSE(get.httpBody());
    // Without parameters there is no body and no content type.
    auto empty = build(*binary, "POST", "http://h/");
    EXPECT_FALSE(empty.httpBody());
    EXPECT_FALSE(empty.valueForHTTPHeaderField("Content-Type"));
    // What no property list can hold is reported, and the request goes without a body.
    std::optional<platform::Error> error;
    auto refused = binary->requestWithMethod("POST", "http://h/", Value::dictionary({{"n", Value::null()}}), &error);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(error);
    EXPECT_FALSE(refused->httpBody());
}

}  // namespace
}  // namespace brindlecue
