#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace brindlecue {

// A user event's way to the server.
enum class BLQUserEventStatus : int64_t {
    unsent = 0,
    sending = 1,
    sent = 2,
    deduped = 3,
    disabled = 4,
};

// The status of a raw value; none outside 0 to 4.
constexpr std::optional<BLQUserEventStatus> BLQUserEventStatusFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 4) return std::nullopt;
    return static_cast<BLQUserEventStatus>(raw);
}

constexpr int64_t rawValue(BLQUserEventStatus status) {
    return static_cast<int64_t>(status);
}

// The status field of a record that several queues share (the manager's, the store's, the
// network's): every read and write is whole. Reads and is assigned like the status itself.
class BLQUserEventStatusField {
public:
    BLQUserEventStatusField(BLQUserEventStatus status = BLQUserEventStatus::unsent) : value_(status) {}
    BLQUserEventStatusField(const BLQUserEventStatusField& other) : value_(other.get()) {}
    BLQUserEventStatusField& operator=(const BLQUserEventStatusField& other) {
        value_.store(other.get());
        return *this;
    }
    BLQUserEventStatusField& operator=(BLQUserEventStatus status) {
        value_.store(status);
        return *this;
    }

    BLQUserEventStatus get() const { return value_.load(); }
    operator BLQUserEventStatus() const { return get(); }
    friend bool operator==(const BLQUserEventStatusField& a, BLQUserEventStatus b) { return a.get() == b; }

private:
    std::atomic<BLQUserEventStatus> value_;
};

}  // namespace brindlecue
