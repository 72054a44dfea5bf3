#include "tips/BLQOperations.h"

#include <charconv>

#include "feed/BLQGuidePayload.h"
#include "feed/BLQITipManager.h"
#include "feed/KJTipElement.h"
#include "foundation/BLQPublished.h"
#include "presentation/BLQFeedback.h"
#include "presentation/KJFeedbackManager.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/KJTipTargetElement.h"

namespace brindlecue {

int64_t BLQOperations::stepIdOf(const std::optional<std::string>& suid) {
    std::string_view text = suid ? std::string_view(*suid) : std::string_view("0");
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

void BLQOperations::submitFeedback(const BLQFeedback& answer, const BLQIGuidePayload& guide,
                                   FeedbackHandler handler) {
    auto step = guide.guide();
    platform::Dictionary extra;
    if (answer.extraJSON) extra.set("custom-json", platform::Value(*answer.extraJSON));
    auto& manager = KJFeedbackManager::shared();
    extra.set("custom-tags", platform::Value(manager.getExtraJsonForFeedback(step ? step->feedback : nullptr)));

    std::string contents;
    for (size_t i = 0; i < answer.answers.size(); ++i) {
        if (i > 0) contents += ",";
        contents += answer.answers[i];
    }
    manager.submitFeedbackWithTitle(answer.title, 0, contents, step ? step->campaignid : std::nullopt,
                                    step ? step->feed_id : std::nullopt, stepIdOf(step ? step->suid : std::nullopt),
                                    extra, std::move(handler));
}

std::shared_ptr<platform::UIView> BLQOperations::findTarget(const BLQIGuidePayload& guide) {
    auto step = guide.guide();
    const auto* target = step ? dynamic_cast<const KJTipTargetElement*>(step->target.get()) : nullptr;
    if (target == nullptr || !target->algoVersion) return nullptr;
    auto engine = BLQPublished<BLQITipManager>::get();
    auto tool = engine ? engine->getWidgetTargettingAlgoTool(target->algoVersion) : nullptr;
    return tool ? tool->rematchWidget(*target) : nullptr;
}

}  // namespace brindlecue
