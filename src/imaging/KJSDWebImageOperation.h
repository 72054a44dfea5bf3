#pragma once

namespace brindlecue {

// Anything of image loading that a caller can cancel: a load, a download token, a download.
class KJSDWebImageOperation {
public:
    virtual ~KJSDWebImageOperation() = default;
    virtual void cancel() = 0;
};

}  // namespace brindlecue
