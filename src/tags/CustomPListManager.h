#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {

// Owns the property-list tag file "CST.plist" in the app's documents directory: an XML property
// list whose root is an array of {"key", "value"} dictionaries. Every read and write of the file,
// by any owner in the process, goes through one lock, and updateTags makes a read, its change and
// its write one step, so two changes never lose each other. Writes replace the file atomically (a temporary
// file renamed over it), so a reader without the lock sees the old list or the new one, never a part.
class CustomPListManager : public BLQILoggable {
public:
    CustomPListManager();

    const std::string plistFileName = "CST";
    const std::string plistFileType = "plist";
    // Computed once, when the owner is made.
    const std::filesystem::path plistFilePath;

    // The list in the file; a missing, unreadable or undecodable file reads as the empty list.
    std::vector<SwiftTag> readTags() const;
    // Replaces the file's content. A failure is logged at level 5 and returned; the file then
    // stays as it was.
    std::optional<platform::Error> writeTags(const std::vector<SwiftTag>& tags);
    // Reads the list, lets change alter it and, when change answers true, writes it back, under the
    // lock throughout.
    std::optional<platform::Error> updateTags(const std::function<bool(std::vector<SwiftTag>&)>& change);

    // The list that the bytes hold; none unless they are a property list whose root is an array of
    // tag dictionaries.
    static std::optional<std::vector<SwiftTag>> decode(const platform::Data& bytes);
    // The file's bytes; none when it is missing or cannot be read (a directory in its place).
    static std::optional<platform::Data> readFile(const std::filesystem::path& path);

private:
    std::vector<SwiftTag> readLocked() const;
    std::optional<platform::Error> writeLocked(const std::vector<SwiftTag>& tags);
    // Shared by every owner: they all work on the one file.
    static std::mutex& fileMutex();
};

}  // namespace brindlecue
