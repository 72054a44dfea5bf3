#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

// The view a condition of an interaction rule concerns and its placement. Texts read as "" and
// numbers as 0 when missing or null.
class KJTargetParams : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTargetParams)

    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    std::optional<std::string> child;
    std::optional<std::string> ancestor;
    std::optional<std::string> index;
    std::optional<std::string> type;
    std::optional<std::string> version;
    std::optional<std::string> selector;
};

// What follows when an interaction rule matches.
class KJActions : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJActions)

    std::optional<std::string> type;
    std::optional<std::string> value;
};

// One condition of an interaction rule, with the placement of the view it concerns. The target
// parameters are not part of the stored form.
class KJConditions : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJConditions)

    std::optional<std::string> type;
    std::optional<std::string> value;
    std::optional<std::string> target;
    std::optional<std::string> view;
    std::shared_ptr<KJTargetParams> targetParams;
};

// One interaction rule of a step: how its conditions are matched and which actions follow. The
// rules are kept on the step as parsed; nothing acts on them, and only the match type is stored.
class KJTipInteractions : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipInteractions)

    std::optional<std::string> matchType;
    // Set (possibly empty) when the document gives a list.
    std::optional<std::vector<std::shared_ptr<KJActions>>> actions;
    std::optional<std::vector<std::shared_ptr<KJConditions>>> conditions;
};

}  // namespace brindlecue
