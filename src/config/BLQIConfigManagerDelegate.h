#pragma once

namespace brindlecue {

// Told by the configuration manager after the API host in use has changed.
class BLQIConfigManagerDelegate {
public:
    virtual ~BLQIConfigManagerDelegate() = default;
    virtual void hostDidChange() = 0;
};

}  // namespace brindlecue
