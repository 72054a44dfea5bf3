// libFuzzer target for semantic versions (see fuzz/README.md): app and library versions in tag
// values and in version conditions of campaigns.
//
// The input is one version text, or two separated by a line feed. Versions must be ordered
// consistently: of a < b, b < a and a == b exactly one holds, and the version matcher agrees.
#include "fuzz_support.h"
#include "matching/BLQSemanticVersionFactory.h"
#include "matching/BLQVersionStringFilterMatcher.h"
#include "storage/BLQTagDTO.h"

using namespace brindlecue;

namespace {

void checkOrder(const BLQSemanticVersion& a, const BLQSemanticVersion& b) {
    const int holds = int(a < b) + int(b < a) + int(a == b);
    fuzzsupport::check(holds == 1, "versions are not ordered consistently");
    fuzzsupport::check((a <= b) == !(b < a) && (a >= b) == !(a < b), "version comparisons disagree");
    fuzzsupport::check((a != b) == !(a == b), "version equality disagrees");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(fuzzsupport::text(data, size));
    std::string first = text, second = "1.2.3+45";
    if (size_t cut = text.find('\n'); cut != std::string::npos) {
        first = text.substr(0, cut);
        second = text.substr(cut + 1);
    }
    auto a = BLQSemanticVersionFactory::create(first);
    auto b = BLQSemanticVersionFactory::create(second);
    if (a) checkOrder(*a, *a);
    if (b) checkOrder(*b, *b);
    if (a && b) {
        checkOrder(*a, *b);
        for (const char* op : {"eq", "neq", "lt", "lte", "gt", "gte"}) {
            BLQVersionStringFilterMatcher matcher("version", op, second, "app_version");
            const bool matched = matcher.performMatch(BLQTagDTO("app_version", first));
            fuzzsupport::check(matched == compareByOp(op, *a, *b).value_or(false),
                               "the version matcher disagrees with the versions' order");
        }
    }
    return 0;
}
