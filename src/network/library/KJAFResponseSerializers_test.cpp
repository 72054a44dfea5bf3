// The XML parser, property-list and compound serializers, and how every serializer is copied and
// archived.

#include <gtest/gtest.h>

#include "network/library/KJAFCompoundResponseSerializer.h"
#include "network/library/KJAFJSONRequestSerializer.h"
#include "network/library/KJAFJSONResponseSerializer.h"
#include "network/library/KJAFPropertyListRequestSerializer.h"
#include "network/library/KJAFPropertyListResponseSerializer.h"
#include "network/library/KJAFXMLParserResponseSerializer.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "support/StringTables.h"

namespace brindlecue {
namespace {

using platform::Data;
using platform::Error;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::Value;

std::shared_ptr<platform::HTTPURLResponse> answer(int status, std::string contentType) {
    return std::make_shared<platform::HTTPURLResponse>(
        *platform::URL::fromString("http://h/x"), status,
        platform::HTTPHeaderFields{{"Content-Type", contentType}});
}

Data bytes(const std::string& s) {
    return Data(s.begin(), s.end());
}

struct Elements final : platform::XMLParserDelegate {
    std::vector<std::string> names;
    void didStartElement(platform::XMLParser&, const std::string& name, const std::optional<std::string>&,
                         const std::optional<std::string>&, const Attributes&) override {
        names.push_back(name);
    }
};

class ResponseSerializersTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::installMossgroveStringTable(); }
    std::optional<Error> error;
};

TEST_F(ResponseSerializersTest, TheXMLSerializerAnswersWithAParserNotYetStarted) {
    auto serializer = KJAFXMLParserResponseSerializer::serializer();
    auto parser = serializer->XMLParserForResponse(answer(200, "text/xml"), bytes("<a><b/></a>"), &error);
    ASSERT_TRUE(parser);
    EXPECT_FALSE(error);
    EXPECT_EQ(parser->data(), bytes("<a><b/></a>"));
    auto elements = std::make_shared<Elements>();
    parser->setDelegate(elements);
    EXPECT_TRUE(elements->names.empty());
    ASSERT_TRUE(parser->parse());
    EXPECT_EQ(elements->names, (std::vector<std::string>{"a", "b"}));

    // A refused status still gives the parser (for the error body) with the status error; a wrong
    // MIME type gives nothing.
    EXPECT_TRUE(serializer->XMLParserForResponse(answer(500, "application/xml"), bytes("<e/>"), &error));
    EXPECT_EQ(error->code(), -1011);
    error.reset();
    EXPECT_FALSE(serializer->XMLParserForResponse(answer(200, "application/json"), bytes("{}"), &error));
    EXPECT_EQ(error->code(), -1016);
    EXPECT_FALSE(serializer->XMLParserForResponse(answer(500, "application/xml"), bytes("<e/>"), nullptr));
    EXPECT_TRUE(serializer->answersWithPlatformObject());
}

TEST_F(ResponseSerializersTest, PropertyListsAreReadAndTheirErrorsChained) {
    auto serializer = KJAFPropertyListResponseSerializer::serializer();
    Value document = Value::dictionary({{"name", "tip"}, {"count", 3}});
    for (auto format : {platform::PropertyListFormat::XML, platform::PropertyListFormat::Binary}) {
        error.reset();
        EXPECT_EQ(serializer->responseObjectForResponse(answer(200, "application/x-plist"),
                                                        *document.toPropertyList(format), &error),
                  document);
        EXPECT_FALSE(error);
    }
    EXPECT_TRUE(
        serializer->responseObjectForResponse(answer(200, "application/x-plist"), bytes("nonsense"), &error)
            .isAbsent());
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->underlyingError());

    error.reset();
    EXPECT_TRUE(
        serializer->responseObjectForResponse(answer(404, "application/x-plist"), bytes("nonsense"), &error)
            .isAbsent());
    ASSERT_TRUE(error && error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1011);
    error.reset();
    EXPECT_TRUE(
        serializer->responseObjectForResponse(answer(200, "text/plain"), bytes("x"), &error).isAbsent());
    EXPECT_EQ(error->code(), -1016);
}

TEST_F(ResponseSerializersTest, TheCompoundTakesTheFirstSerializerThatAnswers) {
    auto json = KJAFJSONResponseSerializer::serializer();
    auto plist = KJAFPropertyListResponseSerializer::serializer();
    auto compound = KJAFCompoundResponseSerializer::compoundSerializerWithResponseSerializers({json, plist});
    EXPECT_EQ(compound->responseObjectForResponse(answer(200, "application/json"), bytes("[1]"), &error),
              Value::array({1}));
    EXPECT_FALSE(error);
    Value list = Value::array({"a"});
    EXPECT_EQ(
        compound->responseObjectForResponse(answer(200, "application/x-plist"),
                                            *list.toPropertyList(platform::PropertyListFormat::XML), &error),
        list);
    EXPECT_FALSE(error);
    // The winner's error comes along: a JSON error body of a refused status.
    EXPECT_EQ(
        compound->responseObjectForResponse(answer(422, "application/json"), bytes("{\"e\":1}"), &error)["e"],
        Value(1));
    EXPECT_EQ(error->code(), -1011);

    // Nobody answers: the compound's own validation, and the data.
    error.reset();
    compound->acceptableContentTypes = std::set<std::string>{"text/csv"};
    EXPECT_EQ(compound->responseObjectForResponse(answer(200, "text/csv"), bytes("a,b"), &error),
              Value(bytes("a,b")));
    EXPECT_FALSE(error);
    EXPECT_EQ(compound->responseObjectForResponse(answer(200, "image/png"), bytes("png"), &error),
              Value(bytes("png")));
    EXPECT_EQ(error->code(), -1016);
}

TEST_F(ResponseSerializersTest, CopiesKeepOnlyTheirOwnClassesSettingsWhileArchivesKeepAll) {
    auto base = KJAFHTTPResponseSerializer::serializer();
    base->acceptableStatusCodes = std::set<int>{200, 204};
    base->acceptableContentTypes = std::set<std::string>{"text/csv"};
    auto baseCopy = std::dynamic_pointer_cast<KJAFHTTPResponseSerializer>(base->copy());
    ASSERT_TRUE(baseCopy);
    EXPECT_EQ(baseCopy->acceptableStatusCodes, base->acceptableStatusCodes);
    EXPECT_EQ(baseCopy->acceptableContentTypes, base->acceptableContentTypes);

    auto json = KJAFJSONResponseSerializer::serializerWithReadingOptions(4);
    json->removesKeysWithNullValues = true;
    json->acceptableContentTypes->insert("text/html");
    auto jsonCopy = std::dynamic_pointer_cast<KJAFJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(jsonCopy);
    EXPECT_EQ(jsonCopy->readingOptions, 4u);
    EXPECT_TRUE(jsonCopy->removesKeysWithNullValues);
    EXPECT_EQ(jsonCopy->acceptableContentTypes->count("text/html"), 0u);

    auto jsonBack = KeyedUnarchiver::unarchivedObjectOfClass<KJAFJSONResponseSerializer>(
        KeyedArchiver::archivedDataWithRootObject(*json));
    ASSERT_TRUE(jsonBack);
    EXPECT_EQ(jsonBack->readingOptions, 4u);
    EXPECT_TRUE(jsonBack->removesKeysWithNullValues);
    EXPECT_EQ(jsonBack->acceptableContentTypes, json->acceptableContentTypes);
    EXPECT_EQ(jsonBack->acceptableStatusCodes, json->acceptableStatusCodes);

    // A serializer that accepts every status comes back accepting every status.
    base->acceptableStatusCodes.reset();
    auto baseBack = KeyedUnarchiver::unarchivedObjectOfClass<KJAFHTTPResponseSerializer>(
        KeyedArchiver::archivedDataWithRootObject(*base));
    ASSERT_TRUE(baseBack);
    EXPECT_FALSE(baseBack->acceptableStatusCodes);
    EXPECT_FALSE(std::dynamic_pointer_cast<KJAFJSONResponseSerializer>(baseBack));

    auto plist = KJAFPropertyListResponseSerializer::serializerWithFormat(200, 2);
    auto compound = KJAFCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {plist, KJAFXMLParserResponseSerializer::serializer()});
    auto compoundBack = KeyedUnarchiver::unarchivedObjectOfClass<KJAFCompoundResponseSerializer>(
        KeyedArchiver::archivedDataWithRootObject(*compound));
    ASSERT_TRUE(compoundBack);
    ASSERT_EQ(compoundBack->responseSerializers.size(), 2u);
    auto plistBack =
        std::dynamic_pointer_cast<KJAFPropertyListResponseSerializer>(compoundBack->responseSerializers[0]);
    ASSERT_TRUE(plistBack);
    EXPECT_EQ(plistBack->format, 200u);
    EXPECT_EQ(plistBack->readOptions, 2u);
    EXPECT_TRUE(
        std::dynamic_pointer_cast<KJAFXMLParserResponseSerializer>(compoundBack->responseSerializers[1]));
    auto compoundCopy = std::dynamic_pointer_cast<KJAFCompoundResponseSerializer>(compound->copy());
    ASSERT_TRUE(compoundCopy);
    EXPECT_EQ(compoundCopy->responseSerializers, compound->responseSerializers);
}

TEST(KJAFRequestSerializerCopies, KeepHeadersAndQueryEncodingButNotTheSettings) {
    auto json = KJAFJSONRequestSerializer::serializerWithWritingOptions(1);
    json->setValue("key", "X-App-Key");
    json->setValue(std::nullopt, "Accept-Language");
    json->setTimeoutInterval(60);
    json->setHTTPMethodsEncodingParametersInURI({"GET"});
    json->setQueryStringSerializationWithBlock([](const platform::URLRequest&, const Value&,
                                                  std::optional<Error>*) { return std::string("custom"); });

    auto copy = std::dynamic_pointer_cast<KJAFJSONRequestSerializer>(json->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->HTTPRequestHeaders(), json->HTTPRequestHeaders());
    EXPECT_EQ(copy->writingOptions, 1u);
    std::optional<Error> error;
    auto request = copy->requestWithMethod("DELETE", "http://h/p", Value::dictionary({{"a", 1}}), &error);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url()->absoluteString(), "http://h/p?custom");  // the closure came along
    EXPECT_FALSE(request->hasExplicitTimeout());                       // the time-out did not

    auto back = KeyedUnarchiver::unarchivedObjectOfClass<KJAFHTTPRequestSerializer>(
        KeyedArchiver::archivedDataWithRootObject(*json));
    auto jsonBack = std::dynamic_pointer_cast<KJAFJSONRequestSerializer>(back);
    ASSERT_TRUE(jsonBack);
    EXPECT_EQ(jsonBack->HTTPRequestHeaders(), json->HTTPRequestHeaders());
    EXPECT_FALSE(jsonBack->valueForHTTPHeaderField("Accept-Language"));
    EXPECT_EQ(jsonBack->writingOptions, 1u);

    auto plist = KJAFPropertyListRequestSerializer::serializerWithFormat(200, 3);
    auto plistBack = KeyedUnarchiver::unarchivedObjectOfClass<KJAFPropertyListRequestSerializer>(
        KeyedArchiver::archivedDataWithRootObject(*plist));
    ASSERT_TRUE(plistBack);
    EXPECT_EQ(plistBack->format, 200u);
    EXPECT_EQ(plistBack->writeOptions, 3u);
}

}  // namespace
}  // namespace brindlecue
