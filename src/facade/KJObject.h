#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue {

// An object of the older layer that loads itself from the server and saves itself back: a
// subclass names the paths and the body and reads an answer. Loads go through the form client
// (GET), saves through the JSON client (PATCH); every completion runs once, on those clients'
// completion queue. Every failure of its own is in "KJErrorDomain" with code 0.
class KJObject : public std::enable_shared_from_this<KJObject> {
public:
    // The object (or none) and the error (or none).
    using Completion = std::function<void(std::shared_ptr<KJObject>, std::optional<platform::Error>)>;

    explicit KJObject(std::string suid) : suid(std::move(suid)) {}
    virtual ~KJObject() = default;

    // "<Class: 0x...> - suid: <suid>".
    std::string description() const;
    virtual std::string className() const { return "KJObject"; }

    virtual std::optional<std::string> serverLoadURL() const { return std::nullopt; }
    virtual void loadFromDictionary(const platform::Value& dictionary) {}
    virtual std::optional<std::string> serverSaveURL() const { return std::nullopt; }
    virtual platform::Value saveBody() const { return platform::Value(); }

    void loadFromServer(Completion completion);
    void saveToServer(Completion completion);

    std::string suid;
};

}  // namespace brindlecue
