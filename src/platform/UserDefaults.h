#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// The app's preferences: property-list values by key, kept in a binary property list file.
// Every change is written through to the file at once (atomically, by renaming a temporary
// file), so a later instance over the same file reads it back. A missing or corrupt file reads
// as empty. Safe to use from several threads.
class UserDefaults {
public:
    // Over "Library/Preferences/<bundle identifier>.plist" in the app container (identifier
    // "com.brindlecue.host" when the main bundle has none).
    static UserDefaults& standard();
    // Test-only: the next standard() opens the file of the current app container (instances
    // handed out before stay valid). The library never calls it.
    static void resetStandardForTesting();
    explicit UserDefaults(std::filesystem::path file);
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
    void setInteger(const std::string& key, int64_t value) { set(key, Value(value)); }
    void setDouble(const std::string& key, double value) { set(key, Value(value)); }
    void setBool(const std::string& key, bool value) { set(key, Value(value)); }
    void setString(const std::string& key, std::string value) { set(key, Value(std::move(value))); }
    void remove(const std::string& key);

    // Writes the values to the file; true on success. Changes are already written through, so
    // this only matters after a failed write.
    bool synchronize();
    Dictionary dictionaryRepresentation() const;

private:
    bool writeLocked();

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    Dictionary values_;
};

}  // namespace brindlecue::platform
