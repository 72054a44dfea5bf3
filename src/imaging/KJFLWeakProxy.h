#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace brindlecue {

// Stands for an object without keeping it alive: a pending call or a display link aimed at the
// proxy never extends its target's life. A message sent once the target is gone is answered with
// a zero result.
template <class T>
class KJFLWeakProxy {
public:
    static std::shared_ptr<KJFLWeakProxy> weakProxyForObject(const std::shared_ptr<T>& object) {
        return std::make_shared<KJFLWeakProxy>(object);
    }
    explicit KJFLWeakProxy(const std::shared_ptr<T>& object) : target_(object) {}

    std::shared_ptr<T> target() const { return target_.lock(); }

    // Calls the message on the target while it lives; a zero result (or nothing) once it is gone.
    template <class F>
    auto send(F&& message) const -> std::invoke_result_t<F, T&> {
        using Result = std::invoke_result_t<F, T&>;
        if (auto object = target_.lock()) return std::forward<F>(message)(*object);
        if constexpr (!std::is_void_v<Result>) return Result{};
    }

private:
    std::weak_ptr<T> target_;
};

}  // namespace brindlecue
