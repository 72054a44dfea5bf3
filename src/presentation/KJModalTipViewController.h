#pragma once

#include <string>

#include "presentation/KJBaseTipViewController.h"

namespace brindlecue {

// The modal tip: a box centred in the cover (or held to its top or bottom by the step's
// placement), moved by the step's margins, shrunk to them when it spans the cover. The tip engine
// shows tip type 3 and carousels that name no control with it.
class KJModalTipViewController : public KJBaseTipViewController {
public:
    std::string className() const override { return "KJModalTipViewController"; }
    void didConstruct() override;

    // Lays the tip out in the cover rectangle; false (logged) when the tip frame is under 10
    // points in either direction or cannot be laid out.
    bool displayUI(const platform::CGRect& coverBounds) override;
};

}  // namespace brindlecue
