#include "feed/KJTipFeedbackElement.h"

#include <algorithm>

#include "feed/KJDocumentReader.h"
#include "foundation/BLQUtils.h"
#include "platform/Bundle.h"

namespace brindlecue {

using platform::Value;

namespace {

const KJTipBaseElement::Exclusions kExclusions{"arrayOptions", "customTagsList"};

// The app's display name; the bundle name when it has no display name.
std::string appDisplayName() {
    auto bundle = platform::Bundle::main();
    if (!bundle) return "";
    for (const char* key : {platform::Bundle::kDisplayNameKey, platform::Bundle::kNameKey}) {
        Value name = bundle->objectForInfoDictionaryKey(key);
        if (const std::string* text = name.getString(); text && !text->empty()) return *text;
    }
    return "";
}

// The texts of a list of tag keys: texts as they are, numbers as their text; other entries are
// skipped and logged.
std::vector<std::string> keyList(const KJDocumentReader& in, std::string_view key, const Value& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i < list.count(); ++i) {
        const Value& entry = list[i];
        if (entry.isString() || entry.isNumber()) {
            out.push_back(entry.stringValue());
        } else {
            in.wrongEntry(key, i, entry, "text");
        }
    }
    return out;
}

// The options of a survey: the non-empty texts of the list, in order; other entries are skipped.
std::vector<std::string> optionList(const KJDocumentReader& in, std::string_view key, const Value& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i < list.count(); ++i) {
        const Value& entry = list[i];
        if (const std::string* text = entry.getString()) {
            if (!text->empty()) out.push_back(*text);
        } else {
            in.wrongEntry(key, i, entry, "text");
        }
    }
    return out;
}

bool sameMembers(const std::optional<std::vector<std::string>>& a,
                 const std::optional<std::vector<std::string>>& b) {
    const std::vector<std::string> none;
    const auto& x = a ? *a : none;
    const auto& y = b ? *b : none;
    if (x.size() != y.size()) return false;
    return std::all_of(x.begin(), x.end(), [&](const std::string& item) {
        return std::find(y.begin(), y.end(), item) != y.end();
    });
}

}  // namespace

const KJElementClass& KJTipFeedbackElement::elementClass() {
    static const KJElementClass cls("KJTipFeedbackElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipFeedbackElement>()
                                        .text("feedbackTitle", &KJTipFeedbackElement::feedbackTitle)
                                        .text("feedbackMessage", &KJTipFeedbackElement::feedbackMessage)
                                        .other("arrayOptions", "NSArray")
                                        .boolean("needInput", &KJTipFeedbackElement::needInput)
                                        .other("customTagsList", "NSArray")
                                        .build());
    return cls;
}

std::shared_ptr<KJTipFeedbackElement> KJTipFeedbackElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipFeedbackElement");
    auto feedback = std::make_shared<KJTipFeedbackElement>();
    std::string title = in.textOrEmpty("title");
    feedback->feedbackTitle = title.empty() ? appDisplayName() + " loves Feedback!" : title;
    feedback->feedbackMessage = in.textOrEmpty("message");
    feedback->needInput = in.boolean("i");

    const Value& tags = in.value("custom_tags_list");
    if (tags.isString()) {
        Value parsed = blqDeSerializeJsonStringToArray(tags);
        if (parsed.isArray()) {
            feedback->customTagsList = keyList(in, "custom_tags_list", parsed);
        } else {
            in.wrongKind("custom_tags_list", "a list or the JSON text of one");
        }
    } else if (tags.isArray()) {
        feedback->customTagsList = keyList(in, "custom_tags_list", tags);
    } else if (!tags.isNil()) {
        in.wrongKind("custom_tags_list", "a list or the JSON text of one");
    }

    const Value& options = in.array("c");
    if (options.isArray()) feedback->arrayOptions = optionList(in, "c", options);
    return feedback;
}

bool KJTipFeedbackElement::storedForm(KJStoredForm& out) const {
    static const KJStoredKey& kArrayOptions = KJStoredKey::named("arrayOptions");
    static const KJStoredKey& kCustomTagsList = KJStoredKey::named("customTagsList");
    if (arrayOptions) out.texts(kArrayOptions, *arrayOptions);
    if (customTagsList) out.texts(kCustomTagsList, *customTagsList);
    static const StoredExclusions kStored(kExclusions);
    storedProperties(out, kStored);
    return true;
}

std::shared_ptr<KJTipFeedbackElement> KJTipFeedbackElement::deserializeFromDictionary(const Value& stored) {
    auto feedback = std::make_shared<KJTipFeedbackElement>();
    KJDocumentReader in(stored, "KJTipFeedbackElement");
    const Value& options = in.array("arrayOptions");
    if (options.isArray()) feedback->arrayOptions = optionList(in, "arrayOptions", options);
    const Value& tags = in.array("customTagsList");
    if (tags.isArray()) feedback->customTagsList = keyList(in, "customTagsList", tags);
    feedback->deserializeFromDictionaryWithExcludeProperties(stored, kExclusions);
    return feedback;
}

bool KJTipFeedbackElement::isEqual(const platform::NSObject* other) const {
    if (!isEqualWithExcludeProperties(other, kExclusions)) return false;
    const auto* that = dynamic_cast<const KJTipFeedbackElement*>(other);
    return sameMembers(arrayOptions, that->arrayOptions) && sameMembers(customTagsList, that->customTagsList);
}

}  // namespace brindlecue
