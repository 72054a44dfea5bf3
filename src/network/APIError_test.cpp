#include "network/APIError.h"

#include <gtest/gtest.h>

#include <vector>

#include "network/BLQHTTPRequestError.h"
#include "network/NetworkService.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"

namespace brindlecue {
namespace {

TEST(APIError, EachCaseDescribesItselfByItsReasonItsURLErrorOrAsUnknown) {
    const auto refused = APIError::apiError("The app key is not known.");
    EXPECT_EQ(refused.kind(), APIError::Kind::apiError);
    EXPECT_EQ(refused.errorDescription(), "The app key is not known.");
    const auto unreadable = APIError::parseError("The answer is not JSON.");
    EXPECT_EQ(unreadable.kind(), APIError::Kind::parseError);
    EXPECT_EQ(unreadable.reason(), "The answer is not JSON.");
    EXPECT_EQ(unreadable.errorDescription(), "The answer is not JSON.");
    EXPECT_FALSE(unreadable.from());

    const auto timedOut = platform::URLError::make(platform::URLError::TimedOut,
                                                   platform::URL::fromString("https://example.test/v3/feeds"));
    const auto lost = APIError::networkError(timedOut);
    EXPECT_EQ(lost.kind(), APIError::Kind::networkError);
    ASSERT_TRUE(lost.from());
    EXPECT_EQ(lost.from()->code(), platform::URLError::TimedOut);
    EXPECT_EQ(lost.errorDescription(), timedOut.localizedDescription());
    EXPECT_EQ(lost.errorDescription(), "The request timed out.");
    EXPECT_TRUE(lost.reason().empty());

    EXPECT_EQ(APIError::unkown().kind(), APIError::Kind::unkown);
    EXPECT_EQ(APIError::unkown().errorDescription(), "Unknown error");
}

TEST(NetworkService, AResponseCarriesItsValueBesideTheURLResponse) {
    auto url = platform::URL::fromString("https://example.test/v3/tags");
    ASSERT_TRUE(url);
    auto answer = std::make_shared<platform::HTTPURLResponse>(*url, 201, platform::HTTPHeaderFields{});
    NetworkService::Response<std::vector<std::string>> response{{"first", "second"}, answer};
    EXPECT_EQ(response.value, (std::vector<std::string>{"first", "second"}));
    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response.response);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 201);
}

TEST(BLQHTTPRequestError, ComesBackFromThePlatformErrorItBecameAndFromNoOther) {
    using Kind = BLQHTTPRequestError::Kind;
    for (const auto& original : {BLQHTTPRequestError::invalidURL("u"), BLQHTTPRequestError::failedToParseRequestBody("b"),
                                 BLQHTTPRequestError::failedToParseResponse("r"),
                                 BLQHTTPRequestError::invalidReturnedObjectFromServer("o"),
                                 BLQHTTPRequestError::unknownError("x")}) {
        auto back = BLQHTTPRequestError::fromError(original.toError());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->kind(), original.kind());
        EXPECT_EQ(back->errorDescription(), original.errorDescription());
    }
    const auto lost = BLQHTTPRequestError::networkRequestFailed(platform::Error("HTTPManager", 404));
    auto back = BLQHTTPRequestError::fromError(lost.toError());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind(), Kind::networkRequestFailed);
    EXPECT_EQ(back->errorDescription(), platform::Error("HTTPManager", 404).localizedDescription());

    EXPECT_FALSE(BLQHTTPRequestError::fromError(platform::Error("HTTPManager", 2)));
    EXPECT_FALSE(BLQHTTPRequestError::fromError(platform::Error(BLQHTTPRequestError::kDomain, -1)));
    EXPECT_FALSE(BLQHTTPRequestError::fromError(platform::Error(BLQHTTPRequestError::kDomain, 6)));
    // A network failure without the error beneath it is not one this layer made.
    EXPECT_FALSE(BLQHTTPRequestError::fromError(
        platform::Error(BLQHTTPRequestError::kDomain, static_cast<int64_t>(Kind::networkRequestFailed))));
}

}  // namespace
}  // namespace brindlecue
