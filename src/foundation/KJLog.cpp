#include "foundation/KJLog.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

namespace brindlecue {

namespace {

std::mutex& observerMutex() {
    static std::mutex m;
    return m;
}

KJLogObserver& observerSlot() {
    static auto* observer = new KJLogObserver();  // leaked: workers may log during exit
    return *observer;
}

std::atomic<bool> hasObserver{false};

}  // namespace

KJLogObserver KJLogSetObserver(KJLogObserver observer) {
    std::lock_guard lock(observerMutex());
    KJLogObserver previous = std::move(observerSlot());
    observerSlot() = std::move(observer);
    hasObserver = static_cast<bool>(observerSlot());
    return previous;
}

bool KJLogHasObserver() {
    return hasObserver.load();
}

void KJLogEmit(int level, std::string_view format, std::initializer_list<std::string> arguments) {
    KJLogObserver observer;
    {
        std::lock_guard lock(observerMutex());
        observer = observerSlot();
    }
    if (observer) observer(level, KJLogFormat(format, arguments));
}

std::string KJLogFormat(std::string_view format, std::initializer_list<std::string> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Skip flags, width, precision and length, up to the conversion character.
        size_t j = i + 1;
        while (j < format.size() && (std::strchr("-+ #0123456789.lhqzjt", format[j]) != nullptr)) ++j;
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        if (next != arguments.end()) {
            out += *next;
            ++next;
        }
        i = j;
    }
    return out;
}

}  // namespace brindlecue
