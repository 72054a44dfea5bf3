#pragma once

namespace brindlecue {

// The one place that decides which implementation stands behind each interface of the newer layer
// and which of them live for the process. composeDependencies registers the dictionary transformer
// and then every service in the shared container, in an order where each factory resolves only
// what is registered above it (the container runs every factory once, at registration). The
// facade calls it once, from its initialiser, before it obtains its managers through the factory
// classes (BLQAppStatusManagerFactory.h).
class BLQDependencyComposer {
public:
    static void composeDependencies();

    BLQDependencyComposer() = delete;
};

}  // namespace brindlecue
