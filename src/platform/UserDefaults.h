#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {

namespace bplist {
struct WrittenValue;
}

// The app's preferences: property-list values by key, kept in a binary property list file.
// A change is visible at once and reaches the file soon after (0.1 s of Clock time), from a
// background queue: the changes made while a write is waiting or under way go into the next one,
// so a burst of changes costs one or a few writes, not one each. A value set again unchanged changes nothing
// and writes nothing. Every write replaces the file atomically (a temporary file, flushed to the disk, is
// renamed over it). synchronize() writes what is pending before it returns, and so do process
// exit (std::exit or a return from main), the end of the instance and the opening of another
// instance over the same file, which therefore reads what this one holds. A crash loses at most
// the changes made since the last write; none that a completed synchronize() covered. A missing
// or corrupt file reads as empty. Safe to use from several threads.
class UserDefaults {
public:
    // Over "Library/Preferences/<bundle identifier>.plist" in the app container (identifier
    // "com.brindlecue.host" when the main bundle has none).
    static UserDefaults& standard();
    // Test-only: the next standard() opens the file of the current app container (instances
    // handed out before stay valid: one used again reads its file anew, as it lets go of its
    // values once they are written). The library never calls it.
    static void resetStandardForTesting();
    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // Absent when the key is missing.
    Value object(const std::string& key) const;
    // The text of a string value, or of a number value (as its description); otherwise none.
    std::optional<std::string> string(const std::string& key) const;
    // A number's value, or the integer a text begins with; 0 for anything else or a missing key.
    int64_t integer(const std::string& key) const;
    double double_(const std::string& key) const;
    // A non-zero number; a text "YES" or "true" (any case) or one that reads as a non-zero integer.
    bool bool_(const std::string& key) const;
    std::optional<Array> array(const std::string& key) const;
    std::optional<Dictionary> dictionary(const std::string& key) const;
    std::optional<Data> data(const std::string& key) const;

    // An absent or null value removes the key. A value that a property list cannot hold (null
    // inside a collection) is refused with a log line and changes nothing.
    void set(const std::string& key, Value value);
    // Whether a property list can hold the value: no absent or null anywhere in it.
    static bool isPropertyListValue(const Value& value);
    // As set, for an array whose elements the caller has each found isPropertyListValue (as it
    // made them, say): they are not looked at again. With `written` (in the elements' order,
    // null for one that was not), the next write of the file takes in the elements written on
    // their own (bplist::writeOnItsOwn) instead of writing them again, unless the key changes
    // first; the file is the same.
    void setArrayOfCheckedElements(const std::string& key, Array elements,
                                   std::vector<std::shared_ptr<const bplist::WrittenValue>> written = {});
    // Sets a value of which the caller has only its writing as a property list on its own
    // (bplist::writeOnItsOwn, or a writer that writes the same objects): the writes of the file
    // take it in whole, and the value is made of it only when the key is read (object, array,
    // dictionaryRepresentation ...). Null is refused with a log line, as set refuses a value a
    // property list cannot hold. Set over the same written value it changes nothing; over any
    // other value (one read from the file, say) it counts as a change, since telling the two
    // apart would cost what the written value spares.
    void setWrittenValue(const std::string& key, std::shared_ptr<const bplist::WrittenValue> value);
    void setInteger(const std::string& key, int64_t value) { set(key, Value(value)); }
    void setDouble(const std::string& key, double value) { set(key, Value(value)); }
    void setBool(const std::string& key, bool value) { set(key, Value(value)); }
    void setString(const std::string& key, std::string value) { set(key, Value(std::move(value))); }
    void remove(const std::string& key);

    // Writes the pending changes to the file and flushes it to the disk before returning; true
    // when the file holds every change made before the call (at once when nothing is pending).
    bool synchronize();
    Dictionary dictionaryRepresentation() const;

    // How many times this instance has replaced its file.
    uint64_t fileWrites() const;

private:
    friend struct UserDefaultsInstances;

    using Pieces = std::shared_ptr<const std::vector<std::shared_ptr<const bplist::WrittenValue>>>;

    // Sets a value known to be a property-list value, with its elements written on their own (or
    // none).
    void store(const std::string& key, Value value, Pieces written = nullptr);
    void changedLocked();
    // Writes the values if a change is not in the file yet; under writeMutex_.
    bool writePending();
    // The values, read from the file again first if they were let go of; under mutex_. A value
    // set as written alone (setWrittenValue) may still stand in them as an absent placeholder.
    Dictionary& valuesLocked() const;
    // The same with every value set as written alone made; under mutex_.
    Dictionary& readValuesLocked() const;
    // Makes the value of the key from its writing, when it was set as written alone; under mutex_.
    void makeValueLocked(const std::string& key) const;
    // Lets go of the values when the file holds them all: a standard instance replaced by another
    // is kept for whoever holds it, without its values.
    void releaseValuesIfWritten();

    const std::filesystem::path file_;
    // Held for a whole write, so that writes of one instance never overlap.
    std::mutex writeMutex_;
    mutable std::mutex mutex_;
    mutable Dictionary values_;
    // Set once the values were let go of; the next use reads the file.
    mutable bool released_ = false;
    // Elements of arrays among values_ written on their own, by key, until the next write of the
    // file or a change of the key.
    std::map<std::string, Pieces> written_;
    // The values set as written alone (setWrittenValue), by key, until the key changes: every
    // write of the file takes them in. Until the key is read, values_ holds an absent
    // placeholder in its place, which no write looks at.
    struct WrittenAlone {
        std::shared_ptr<const bplist::WrittenValue> value;
        bool made = false;
    };
    mutable std::map<std::string, WrittenAlone, std::less<>> writtenAlone_;
    // Counts the changes; the file holds the values as of writtenVersion_.
    uint64_t version_ = 0;
    uint64_t writtenVersion_ = 0;
    bool writeScheduled_ = false;
    uint64_t fileWrites_ = 0;
};

}  // namespace brindlecue::platform
