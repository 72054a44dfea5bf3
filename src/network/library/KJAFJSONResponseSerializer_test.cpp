#include "network/library/KJAFJSONResponseSerializer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Bundle.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "support/StringTables.h"

namespace brindlecue {
namespace {

using platform::Data;
using platform::Error;
using platform::Value;

std::shared_ptr<platform::HTTPURLResponse> answer(int status, std::optional<std::string> contentType) {
    platform::HTTPHeaderFields fields;
    if (contentType) fields.emplace_back("Content-Type", *contentType);
    return std::make_shared<platform::HTTPURLResponse>(*platform::URL::fromString("http://h/x"), status, fields);
}

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

class KJAFJSONResponseSerializerTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::installMossgroveStringTable(); }
    Value serialize(int status, std::optional<std::string> type, const std::string& body) {
        error.reset();
        return serializer->responseObjectForResponse(answer(status, std::move(type)), bytes(body), &error);
    }
    std::shared_ptr<KJAFJSONResponseSerializer> serializer = KJAFJSONResponseSerializer::serializer();
    std::optional<Error> error;
};

TEST_F(KJAFJSONResponseSerializerTest, ParsesJSONAndRemovesNullsOnRequest) {
    std::string body = R"({"a":null,"b":[null,{"c":null}]})";
    Value kept = serialize(200, "application/json", body);
    EXPECT_FALSE(error);
    EXPECT_TRUE(kept["a"].isNull());

    serializer->removesKeysWithNullValues = true;
    Value cleaned = serialize(200, "application/json; charset=utf-8", body);
    EXPECT_FALSE(error);
    EXPECT_EQ(cleaned, Value::dictionary({{"b", Value::array({Value::null(), Value::dictionary()})}}));
}

TEST_F(KJAFJSONResponseSerializerTest, PlainTextIsGivenOnlyWhenItIsWellFormedUTF8) {
    EXPECT_EQ(serialize(200, "text/plain", "h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), Value("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(error);
    for (const char* bad : {"\xC3", "a\xE2\x82", "\xC3(", "\xE2(\xAC", "\xF0\x9F\x98(", "\xFF", "\xC0\xAF", "\xF5\x80\x80\x80"}) {
        EXPECT_TRUE(serialize(200, "text/plain", bad).isAbsent()) << bad;
    }
}

TEST_F(KJAFJSONResponseSerializerTest, NullsGoFromDictionariesAtEveryDepthAndFragmentsNeedTheirOption) {
    serializer->removesKeysWithNullValues = true;
    EXPECT_EQ(serialize(200, "application/json", R"({"d":{"e":null,"f":1},"g":"h"})"),
              Value::dictionary({{"d", Value::dictionary({{"f", 1}})}, {"g", "h"}}));
    EXPECT_EQ(serialize(200, "application/json", R"([{"a":null},2])"),
              Value::array({Value::dictionary(), 2}));

    EXPECT_TRUE(serialize(200, "application/json", "42").isAbsent());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
    serializer->readingOptions = KJAFJSONResponseSerializer::kReadingAllowFragments;
    EXPECT_EQ(serialize(200, "application/json", "42"), Value(42));
    EXPECT_FALSE(error);
}

TEST_F(KJAFJSONResponseSerializerTest, AnAnswerThatIsNotHTTPIsJudgedByItsTypeAlone) {
    // A file's answer has no status to refuse; its type still decides how it is read.
    auto file = std::make_shared<platform::URLResponse>(platform::URL::fileURL("/tmp/a.json"), "application/json", 7,
                                                        std::nullopt);
    EXPECT_EQ(serializer->responseObjectForResponse(file, bytes(R"({"a":1})"), &error), Value::dictionary({{"a", 1}}));
    EXPECT_FALSE(error);
    auto other = std::make_shared<platform::URLResponse>(platform::URL::fileURL("/tmp/a.bin"), "application/x-thing",
                                                         3, std::nullopt);
    EXPECT_TRUE(serializer->responseObjectForResponse(other, bytes("abc"), &error).isAbsent());
    error.reset();
    // Without any answer the body is taken as text.
    EXPECT_EQ(serializer->responseObjectForResponse(nullptr, bytes("plain"), &error), Value("plain"));
    EXPECT_FALSE(error);
}

TEST_F(KJAFJSONResponseSerializerTest, PlainTextAndEmptyBodies) {
    EXPECT_EQ(serialize(200, "text/plain", "ok"), Value("ok"));
    EXPECT_EQ(serialize(200, "text/plain", ""), Value(""));
    EXPECT_EQ(serialize(200, std::nullopt, ""), Value(""));
    EXPECT_FALSE(error);
    // Without a MIME type a body is not acceptable to a serializer with content types.
    EXPECT_TRUE(serialize(200, std::nullopt, "{}").isAbsent());
    EXPECT_EQ(error->code(), -1016);
    EXPECT_TRUE(serialize(200, "application/json", " ").isAbsent());
    EXPECT_FALSE(error);
    EXPECT_TRUE(serialize(200, "application/json", "").isAbsent());
    EXPECT_FALSE(error);
}

TEST_F(KJAFJSONResponseSerializerTest, RefusesStatusAndContentTypeWithTheirErrors) {
    Value notFound = serialize(404, "application/json", "{\"detail\":\"gone\"}");
    EXPECT_EQ(notFound["detail"], Value("gone"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "com.quernwick.error.serialization.response");
    EXPECT_EQ(error->code(), -1011);
    EXPECT_EQ(error->localizedDescription(),
              "Request failed: " + platform::HTTPURLResponse::localizedStringForStatusCode(404) + " (404)");
    EXPECT_EQ(*error->userInfo()["com.quernwick.serialization.response.error.data"].getData(),
              bytes("{\"detail\":\"gone\"}"));
    EXPECT_EQ(error->userInfo()["NSErrorFailingURLKey"], Value("http://h/x"));

    EXPECT_TRUE(serialize(200, "text/html", "<html/>").isAbsent());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1016);
    EXPECT_EQ(error->localizedDescription(), "Request failed: unacceptable content-type: text/html");

    // Both wrong: the status error on top, the content-type error beneath it, and no object.
    EXPECT_TRUE(serialize(500, "text/html", "<html/>").isAbsent());
    EXPECT_EQ(error->code(), -1011);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1016);

    // A wrong content type without a body is invalid, but makes no error.
    EXPECT_TRUE(serialize(200, "text/html", "").isAbsent());
    EXPECT_FALSE(error);
}

TEST_F(KJAFJSONResponseSerializerTest, ParseFailuresCarryTheStatusErrorBeneath) {
    EXPECT_TRUE(serialize(200, "application/json", "{broken").isAbsent());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
    EXPECT_FALSE(error->underlyingError());

    EXPECT_TRUE(serialize(503, "application/json", "{broken").isAbsent());
    ASSERT_TRUE(error && error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1011);
    EXPECT_TRUE(KJAFErrorOrUnderlyingErrorHasCodeInDomain(error, -1011, KJAFURLResponseSerializationErrorDomain));
    EXPECT_FALSE(KJAFErrorOrUnderlyingErrorHasCodeInDomain(error, -1016, KJAFURLResponseSerializationErrorDomain));

    // A bare fragment is not a JSON document unless fragments are allowed.
    EXPECT_TRUE(serialize(200, "application/json", "5").isAbsent());
    EXPECT_TRUE(error);
    serializer->readingOptions = KJAFJSONResponseSerializer::kReadingAllowFragments;
    EXPECT_EQ(serialize(200, "application/json", "5"), Value(5));
}

TEST(KJAFHTTPResponseSerializer, PassesTheDataOnAndChainsErrors) {
    auto serializer = KJAFHTTPResponseSerializer::serializer();
    std::optional<Error> error;
    EXPECT_EQ(serializer->responseObjectForResponse(answer(418, "image/png"), bytes("raw"), &error), Value(bytes("raw")));
    EXPECT_EQ(error->code(), -1011);
    serializer->acceptableStatusCodes.reset();
    error.reset();
    EXPECT_TRUE(serializer->validateResponse(answer(599, "x/y"), bytes("raw"), &error));

    Error top("top", 1), below("below", 2);
    EXPECT_EQ(KJAFErrorWithUnderlyingError(std::nullopt, below)->domain(), "below");
    EXPECT_EQ(KJAFErrorWithUnderlyingError(top, std::nullopt)->domain(), "top");
    auto chained = KJAFErrorWithUnderlyingError(top, below);
    EXPECT_EQ(chained->underlyingError()->domain(), "below");
    EXPECT_EQ(KJAFErrorWithUnderlyingError(chained, Error("other", 3))->underlyingError()->domain(), "below");
}

}  // namespace
}  // namespace brindlecue
