#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brindlecue {

class BLQITipViewController;

// The tip controller classes the engine picks by a step's tip type.
enum class BLQTipViewControllerKind {
    pop,        // tip type 2, and a carousel whose target names a control
    modal,      // tip type 3, and a carousel without one
    coachmark,  // tip type 4
    feedback,   // tip type 5
};

// How the tip engine makes what the presentation layer owns: a tip controller of each kind, and
// the dialog a step's dismiss settings can ask for after its close button. The presentation layer
// registers its makers when the library starts; until then the engine makes nothing (a step
// without a controller is not presented, and no dialog shows). Any thread.
class BLQTipViewControllerRegistry {
public:
    using Maker = std::function<std::shared_ptr<BLQITipViewController>()>;
    // Shows a dialog with the title and message (either may be none), no cancel button and the
    // button titles in order; the handler is told the index of the pressed button.
    using DialogPresenter =
        std::function<void(const std::optional<std::string>& title, const std::optional<std::string>& message,
                            const std::vector<std::string>& buttonTitles, std::function<void(int64_t)> handler)>;

    // An empty maker removes the kind's maker.
    static void registerMaker(BLQTipViewControllerKind kind, Maker maker);
    // A new controller of the kind, or null when none is registered (or the maker gives none).
    static std::shared_ptr<BLQITipViewController> make(BLQTipViewControllerKind kind);

    // An empty presenter removes it.
    static void registerDialogPresenter(DialogPresenter presenter);
    static bool hasDialogPresenter();
    // False when no presenter is registered.
    static bool presentDialog(const std::optional<std::string>& title, const std::optional<std::string>& message,
                              const std::vector<std::string>& buttonTitles, std::function<void(int64_t)> handler);

    BLQTipViewControllerRegistry() = delete;
};

}  // namespace brindlecue
