#pragma once

#include <functional>
#include <string>
#include <vector>

namespace brindlecue {

class BLQDependencyManager;

// The one place that decides which implementation stands behind each interface of the newer layer
// and which of them live for the process. composeDependencies registers the dictionary transformer
// and then every row of the table in a container, in an order where each factory resolves only
// what is registered above it (the container runs every factory once, at registration, so a row
// moved above one it needs stops the process with the container's message). The facade calls it
// once, from its initialiser, before it obtains its managers through the factory classes
// (BLQAppStatusManagerFactory.h).
class BLQDependencyComposer {
public:
    // One registration: the interface's name, whether it is a singleton, and the step that
    // registers it (building, right before, the fixed objects its factory captures).
    struct Row {
        std::string interfaceName;
        bool singleton = false;
        std::function<void(BLQDependencyManager& container)> registration;
    };

    // The rows in binding order.
    static std::vector<Row> rows();
    // Into the shared container.
    static void composeDependencies();
    static void compose(BLQDependencyManager& container, const std::vector<Row>& rows);

    BLQDependencyComposer() = delete;
};

}  // namespace brindlecue
