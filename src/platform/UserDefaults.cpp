#include "platform/UserDefaults.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AppContainer.h"
#include "platform/BinaryPropertyList.h"
#include "platform/Bundle.h"
#include "platform/Error.h"
#include "platform/FileData.h"
#include "platform/SystemLog.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

namespace fs = std::filesystem;

namespace {

// Never destroyed: the values are written during exit.
const SystemLog& platformLog() {
    static const auto* log = new SystemLog("com.brindlecue", "Platform");
    return *log;
}

// Elements of a long array are looked at in pieces of this many, on several workers.
constexpr size_t kPieceElements = 128;

bool holdable(const Value& v) {
    switch (v.type()) {
        case Value::Type::Absent:
        case Value::Type::Null:
            return false;
        case Value::Type::Array: {
            const Array& items = *v.getArray();
            if (items.size() >= 2 * kPieceElements) {
                std::atomic<bool> all{true};
                DispatchQueue::concurrentPerform(
                    (items.size() + kPieceElements - 1) / kPieceElements, [&](size_t p) {
                        const size_t end = std::min(items.size(), (p + 1) * kPieceElements);
                        for (size_t i = p * kPieceElements; i < end && all; ++i)
                            if (!holdable(items[i])) all = false;
                    });
                return all;
            }
            for (const auto& item : items) {
                if (!holdable(item)) return false;
            }
            return true;
        }
        case Value::Type::Dictionary:
            for (const auto& [key, item] : *v.getDictionary()) {
                if (!holdable(item)) return false;
            }
            return true;
        default:
            return true;
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

Dictionary readFile(const fs::path& file) {
    auto read = contentsOfFile(file);
    if (!read) return {};
    const Data& bytes = *read;
    Error error;
    auto root = Value::fromPropertyList(bytes, &error);
    if (!root || !root->isDictionary()) {
        platformLog().log(LogType::Error, "Ignoring unreadable user defaults " + file.string() +
                                              (root ? ": not a dictionary" : ": " + error.description()));
        return {};
    }
    return *root->getDictionary();
}

// Writes the bytes to a temporary file beside the target, flushes it to the disk and renames it
// over the target, then flushes the directory: a reader sees either the old or the new file,
// never a part of one, and after a crash the file is one of the two.
bool writeAtomically(const fs::path& file, const Data& bytes, std::string* failure) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::string tmp = file.string() + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) {
        *failure = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (!ok) *failure = std::strerror(errno);
    ::close(fd);
    if (ok && std::rename(tmp.c_str(), file.c_str()) != 0) {
        *failure = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

// The live instances, for the background writes, the writes at process exit and the opening of
// a file that a live instance holds changes of. Never destroyed: preferences may be written
// during exit.
struct UserDefaultsInstances {
    static constexpr double kWriteDelay = 0.1;

    std::mutex mutex;
    std::unordered_set<UserDefaults*> live;
    // The live instances with changes not in their file yet, so that opening a file looks at
    // those alone, however many instances there are. Guarded by pendingMutex, which is taken
    // last (an instance's own locks may be held).
    std::mutex pendingMutex;
    std::vector<UserDefaults*> pending;
    std::shared_ptr<DispatchQueue> queue = DispatchQueue::serial("com.brindlecue.user-defaults");

    static UserDefaultsInstances& shared() {
        static auto* instances = [] {
            auto* made = new UserDefaultsInstances;
            std::atexit([] { shared().writeAll(); });
            return made;
        }();
        return *instances;
    }

    // Under mutex.
    bool isLive(UserDefaults* defaults) const { return live.count(defaults) > 0; }

    void setPending(UserDefaults* defaults, bool isPending) {
        std::lock_guard lock(pendingMutex);
        auto it = std::find(pending.begin(), pending.end(), defaults);
        if (isPending && it == pending.end()) pending.push_back(defaults);
        if (!isPending && it != pending.end()) pending.erase(it);
    }

    // Under mutex.
    std::vector<UserDefaults*> pendingOf(const fs::path& file) {
        std::lock_guard lock(pendingMutex);
        std::vector<UserDefaults*> out;
        for (UserDefaults* defaults : pending)
            if (defaults->file_ == file) out.push_back(defaults);
        return out;
    }

    // The background write of an instance, a moment after its first change since the last write
    // (the changes made meanwhile go with it). Holding the lock keeps the instance from ending
    // meanwhile; one that ended wrote its changes itself.
    void writeSoon(UserDefaults* defaults) {
        queue->asyncAfter(kWriteDelay, [this, defaults] {
            std::lock_guard lock(mutex);
            if (!isLive(defaults)) return;
            {
                std::lock_guard values(defaults->mutex_);
                defaults->writeScheduled_ = false;
            }
            std::lock_guard write(defaults->writeMutex_);
            defaults->writePending();
        });
    }

    void writeAll() {
        std::lock_guard lock(mutex);
        for (UserDefaults* defaults : live) defaults->synchronize();
    }
};

namespace {

// Every standard instance made stays alive (references to it may be kept); the last one is current.
struct StandardInstances {
    std::mutex mutex;
    std::vector<std::unique_ptr<UserDefaults>> made;
    UserDefaults* current = nullptr;
};

StandardInstances& standardInstances() {
    static auto* s = new StandardInstances;  // leaked: workers may read preferences during exit
    return *s;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    StandardInstances& s = standardInstances();
    std::lock_guard lock(s.mutex);
    if (!s.current) {
        std::string identifier = Bundle::main()->bundleIdentifier().value_or("");
        if (identifier.empty()) identifier = "com.brindlecue.host";
        s.made.push_back(std::make_unique<UserDefaults>(AppContainer::libraryDirectory() / "Preferences" /
                                                        (identifier + ".plist")));
        s.current = s.made.back().get();
        TestingReset::add("UserDefaults.standard", [] { resetStandardForTesting(); });
    }
    return *s.current;
}

void UserDefaults::resetStandardForTesting() {
    StandardInstances& s = standardInstances();
    std::lock_guard lock(s.mutex);
    // Its pending changes reach the file before the test's container goes.
    if (s.current) {
        s.current->synchronize();
        s.current->releaseValuesIfWritten();
    }
    s.current = nullptr;
}

UserDefaults::UserDefaults(fs::path file) : file_(std::move(file)) {
    auto& instances = UserDefaultsInstances::shared();
    std::lock_guard lock(instances.mutex);
    // Another instance's changes to the file come first.
    for (UserDefaults* other : instances.pendingOf(file_)) other->synchronize();
    values_ = readFile(file_);
    instances.live.insert(this);
}

UserDefaults::~UserDefaults() {
    auto& instances = UserDefaultsInstances::shared();
    {
        std::lock_guard lock(instances.mutex);
        instances.live.erase(this);
        instances.setPending(this, false);
    }
    synchronize();
}

Dictionary& UserDefaults::valuesLocked() const {
    if (released_) {
        values_ = readFile(file_);
        released_ = false;
    }
    return values_;
}

Dictionary& UserDefaults::readValuesLocked() const {
    Dictionary& values = valuesLocked();
    for (auto& [key, alone] : writtenAlone_)
        if (!alone.made) makeValueLocked(key);
    return values;
}

void UserDefaults::makeValueLocked(const std::string& key) const {
    auto it = writtenAlone_.find(key);
    if (it == writtenAlone_.end() || it->second.made) return;
    // Written from a property-list value, so its file reads back as that value.
    auto value = Value::fromPropertyList(it->second.value->file());
    if (!value) {
        platformLog().log(LogType::Error, "Cannot read back the value written for \"" + key + "\" in user defaults");
        value = Value();
    }
    // The writing still stands for the value in the file.
    if (Value* placeholder = values_.find(key)) *placeholder = std::move(*value);
    it->second.made = true;
}

void UserDefaults::releaseValuesIfWritten() {
    std::lock_guard lock(mutex_);
    if (writtenVersion_ != version_ || released_) return;
    values_ = Dictionary();
    written_.clear();
    writtenAlone_.clear();
    released_ = true;
}

Value UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(mutex_);
    valuesLocked();
    makeValueLocked(key);
    const Value* v = values_.find(key);
    return v ? *v : Value();
}

std::optional<std::string> UserDefaults::string(const std::string& key) const {
    Value v = object(key);
    if (const std::string* s = v.getString()) return *s;
    if (v.isNumber()) return v.description();
    return std::nullopt;
}

int64_t UserDefaults::integer(const std::string& key) const {
    Value v = object(key);
    return v.isNumber() || v.isString() ? v.integerValue() : 0;
}

double UserDefaults::double_(const std::string& key) const {
    Value v = object(key);
    return v.isNumber() || v.isString() ? v.doubleValue() : 0.0;
}

bool UserDefaults::bool_(const std::string& key) const {
    Value v = object(key);
    if (v.isNumber()) return v.doubleValue() != 0.0;
    if (const std::string* s = v.getString()) {
        std::string_view text(*s);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
        if (equalsIgnoringCase(text, "yes") || equalsIgnoringCase(text, "true")) return true;
        return v.integerValue() != 0;
    }
    return false;
}

std::optional<Array> UserDefaults::array(const std::string& key) const {
    Value v = object(key);
    if (const Array* a = v.getArray()) return *a;
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionary(const std::string& key) const {
    Value v = object(key);
    if (const Dictionary* d = v.getDictionary()) return *d;
    return std::nullopt;
}

std::optional<Data> UserDefaults::data(const std::string& key) const {
    Value v = object(key);
    if (const Data* d = v.getData()) return *d;
    return std::nullopt;
}

bool UserDefaults::isPropertyListValue(const Value& value) {
    return holdable(value);
}

void UserDefaults::set(const std::string& key, Value value) {
    if (value.isNil()) {
        remove(key);
        return;
    }
    if (!holdable(value)) {
        platformLog().log(LogType::Error, "Refusing to store a non-property-list value under \"" + key +
                                              "\" in user defaults");
        return;
    }
    store(key, std::move(value));
}

void UserDefaults::setArrayOfCheckedElements(const std::string& key, Array elements,
                                             std::vector<std::shared_ptr<const bplist::WrittenValue>> written) {
    const bool takesWritten = !written.empty() && written.size() == elements.size();
    store(key, Value(std::move(elements)),
          takesWritten ? std::make_shared<const std::vector<std::shared_ptr<const bplist::WrittenValue>>>(
                             std::move(written))
                       : nullptr);
}

void UserDefaults::setWrittenValue(const std::string& key, std::shared_ptr<const bplist::WrittenValue> value) {
    if (!value) {
        platformLog().log(LogType::Error, "Refusing to store a non-property-list value under \"" + key +
                                              "\" in user defaults");
        return;
    }
    std::lock_guard lock(mutex_);
    Dictionary& values = valuesLocked();
    auto held = writtenAlone_.find(key);
    if (held != writtenAlone_.end() && (held->second.value == value || *held->second.value == *value)) return;
    if (Value* existing = values.find(key))
        *existing = Value();
    else
        values.set(key, Value());
    written_.erase(key);
    writtenAlone_[key] = WrittenAlone{std::move(value), false};
    changedLocked();
}

void UserDefaults::store(const std::string& key, Value value, Pieces written) {
    std::lock_guard lock(mutex_);
    Dictionary& values = valuesLocked();
    makeValueLocked(key);
    if (Value* existing = values.find(key)) {
        if (*existing == value) return;
        *existing = std::move(value);
    } else {
        values.set(key, std::move(value));
    }
    writtenAlone_.erase(key);
    if (written)
        written_[key] = std::move(written);
    else
        written_.erase(key);
    changedLocked();
}

void UserDefaults::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!valuesLocked().remove(key)) return;
    written_.erase(key);
    writtenAlone_.erase(key);
    changedLocked();
}

void UserDefaults::changedLocked() {
    if (version_ == writtenVersion_) UserDefaultsInstances::shared().setPending(this, true);
    ++version_;
    if (writeScheduled_) return;
    writeScheduled_ = true;
    UserDefaultsInstances::shared().writeSoon(this);
}

bool UserDefaults::synchronize() {
    std::lock_guard write(writeMutex_);
    return writePending();
}

uint64_t UserDefaults::fileWrites() const {
    std::lock_guard lock(mutex_);
    return fileWrites_;
}

Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return readValuesLocked();
}

bool UserDefaults::writePending() {
    Dictionary values;
    uint64_t version = 0;
    decltype(written_) written;
    bplist::WrittenValues writtenAlone;
    {
        std::lock_guard lock(mutex_);
        if (writtenVersion_ == version_) return true;
        values = values_;  // shares the entries' arrays and dictionaries
        version = version_;
        written = written_;
        for (const auto& [key, alone] : writtenAlone_) writtenAlone.emplace(key, alone.value);
    }
    bplist::WrittenElements elements;
    for (const auto& [key, list] : written) elements.emplace(key, *list);
    // Values are checked when they are set, so only a failure to write remains. Those set as
    // written alone are taken in as written, made into values or not.
    Data bytes = bplist::write(Value(std::move(values)), elements, writtenAlone);
    std::string failure = "cannot encode the values";
    if (!bytes.empty() && writeAtomically(file_, bytes, &failure)) {
        std::lock_guard lock(mutex_);
        // What was written on its own has served; a key set since keeps its own.
        for (const auto& [key, list] : written) {
            auto it = written_.find(key);
            if (it != written_.end() && it->second == list) written_.erase(it);
        }
        writtenVersion_ = version;
        ++fileWrites_;
        if (writtenVersion_ == version_) UserDefaultsInstances::shared().setPending(this, false);
        return true;
    }
    platformLog().log(LogType::Error, "Cannot write user defaults " + file_.string() + ": " + failure);
    return false;
}

}  // namespace brindlecue::platform
