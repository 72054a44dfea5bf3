#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindlecue::platform {
class Value;
}

namespace brindlecue::platform::bplist {

// The binary property list format ("bplist00") at the level of its object table: objects are
// numbered, containers hold the numbers of their elements, an offset table finds each object and
// a trailer gives the widths, the count and the top object.

using Ref = uint32_t;

// Collects objects and writes the file. Equal texts, numbers, Booleans and UIDs are written once
// and shared. Texts are UTF-8; those with characters beyond ASCII or with U+0000 are written as
// UTF-16, with U+FFFD for bytes that are no UTF-8.
class Writer {
public:
    Ref boolean(bool value);
    Ref integer(int64_t value);
    // Written in single precision when that keeps the value exactly.
    Ref real(double value);
    // Seconds since the reference date (2001-01-01 UTC), in double precision.
    Ref date(double secondsSinceReferenceDate);
    Ref string(std::string_view text);
    Ref data(const uint8_t* bytes, size_t length);
    // A writer that makes one UID per value itself can skip the search for an equal one.
    Ref uid(uint64_t value, bool share = true);
    // A UID of its own (the search for an equal one skipped), made for each object of an archive.
    Ref uniqueUid(uint64_t value) {
        // Written out only at the end, from the value.
        objects_.push_back({static_cast<size_t>(value), 0, 0, Kind::Uid});
        fixedSize_ += value <= 0xFF ? 2 : value <= 0xFFFF ? 3 : value <= 0xFFFFFFFFu ? 5 : 9;
        return static_cast<Ref>(objects_.size() - 1);
    }
    Ref array(std::span<const Ref> elements);
    Ref dictionary(std::span<const Ref> keys, std::span<const Ref> values);

    // With sharing on, an array or dictionary equal to one written before (the same elements,
    // themselves shared) stands for it, as equal texts and numbers always do. Off by default:
    // keyed archives hold each of their containers once.
    void setSharesContainers(bool on) { sharesContainers_ = on; }
    bool sharesContainers() const { return sharesContainers_; }

    // Takes in every object of another writer (with the same sharing of containers), in its
    // order, as if they had been written here: an equal object written before stands for one
    // of them. Answers the references here of the other's objects, by their number there.
    std::vector<Ref> merge(const Writer& other);

    // The whole file with the top object.
    std::vector<uint8_t> finish(Ref top);
    // Lets go of what only more writing needs (the index of the objects to share) and of spare
    // memory: the writer is then only taken in by another (merge) or finished.
    void seal();
    // Forgets every object, keeping the memory for the next file.
    void clear();
    // Whether the other writer holds the same objects in the same order (and so writes the same
    // file for the same top object).
    bool sameObjects(const Writer& other) const;

private:
    enum class Kind : uint8_t { Bytes, Array, Dictionary, Uid };
    struct Object {
        size_t begin;  // in bytes_ for Bytes, in refs_ for containers; the value of a Uid
        size_t end;
        uint32_t hash = 0;  // of shared Bytes
        Kind kind;
        bool shared = false;  // Bytes that an equal object may stand for
    };
    struct Slot {
        uint32_t hash;
        Ref ref;
    };
    static constexpr Ref kEmpty = ~Ref{0};

    // The marker of an object (with its count, or with a whole number) as it is written before
    // the object's payload.
    struct Head {
        uint8_t bytes[16];
        size_t length = 0;
    };
    static Head marker(uint8_t type, uint64_t count);
    static Head number(uint8_t markerByte, uint64_t value, unsigned width);
    // The object of that marker and payload; with share, an earlier object with the same bytes
    // stands for it instead, and nothing is stored. The key, with the payload, makes the hash; with
    // no payload it is the hash (a mixed value).
    Ref put(const Head& head, const uint8_t* payload, size_t length, uint64_t key, bool share);
    // The object whose bytes are the two pieces one after the other, by its hash.
    Ref store(uint32_t hash, const uint8_t* first, size_t firstLength, const uint8_t* second,
              size_t secondLength, bool share);
    Ref container(Kind kind, std::span<const Ref> first, std::span<const Ref> second);
    void growTable();
    // The bytes the object takes in the file (a container's marker alone with no width).
    static size_t sizeOf(const Object& object, unsigned refWidth);
    // Writes the objects after the header and their offsets from the table on; answers the end
    // of the offsets. Widths of 0 are those given.
    template <unsigned OffsetWidth, unsigned RefWidth>
    uint8_t* writeObjects(uint8_t* begin, uint64_t table, unsigned offsetWidth, unsigned refWidth) const;

    // The bytes of the objects are the first bytesUsed_; the rest is room for more, so that
    // storing a short object is a copy without a call.
    std::vector<uint8_t> bytes_;
    size_t bytesUsed_ = 0;
    std::vector<Ref> refs_;  // the first refsUsed_, likewise
    size_t refsUsed_ = 0;
    std::vector<Object> objects_;
    std::vector<Slot> table_;  // open addressing over shared objects, a power of two long
    size_t tableUsed_ = 0;
    // The bytes of every object but the references of containers, whose width comes only at the end.
    uint64_t fixedSize_ = 0;
    std::vector<uint8_t> units_;  // UTF-16 of a text being written
    bool sharesContainers_ = false;
};

// A value written on its own by a writer of its own that shares containers, as a file's writer
// does, kept to be taken into a file whole (Writer::merge): the file is the one that writing the
// value there gives.
struct WrittenValue {
    Writer writer;
    Ref top = 0;

    // The file of the value alone, as write gives it.
    std::vector<uint8_t> file() const;
    // The same value written the same way.
    bool operator==(const WrittenValue& other) const { return top == other.top && writer.sameObjects(other.writer); }
};
// Null when the value holds something a property list cannot.
std::shared_ptr<const WrittenValue> writeOnItsOwn(const Value& value);

// Elements already written on their own, of the arrays that entries of the top dictionary hold,
// by the entries' keys and in the arrays' order (null for an element that was not). They must be
// the arrays' own elements.
using WrittenElements =
    std::map<std::string, std::vector<std::shared_ptr<const WrittenValue>>, std::less<>>;

// Values of entries of the top dictionary written on their own, by the entries' keys.
using WrittenValues = std::map<std::string, std::shared_ptr<const WrittenValue>, std::less<>>;

// The whole file of a property-list value; empty when the value holds something a property list cannot
// (absent or null anywhere in it). Elements and values written on their own are taken in as they
// are; the top dictionary's entry of a value written on its own may hold anything (it is not
// looked at).
std::vector<uint8_t> write(const Value& value, const WrittenElements& written = {}, const WrittenValues& values = {});

// Reads objects of a file by number. Every offset, count and width is checked against the bytes
// before it is used: malformed input gives false, never a read outside the bytes.
class Reader {
public:
    enum class Kind : uint8_t {
        Invalid,
        Null,
        Boolean,
        Integer,
        Real,
        Date,
        Data,
        AsciiString,
        Utf16String,
        Uid,
        Array,
        Set,
        Dictionary
    };
    struct Object {
        Kind kind = Kind::Invalid;
        bool boolean = false;
        // Integers as 64-bit two's complement (the low 64 bits of a 128-bit one); UIDs.
        uint64_t integer = 0;
        double real = 0;
        // Elements, entries, bytes or UTF-16 units, and where they start.
        uint64_t count = 0;
        size_t at = 0;
    };

    // False when the bytes are no binary property list (header, trailer, offset table).
    bool open(const uint8_t* bytes, size_t size);
    uint64_t top() const { return top_; }
    uint64_t objectCount() const { return count_; }

    bool object(uint64_t ref, Object& out) const;
    // The element at the index of an array or set; the key or value of a dictionary entry.
    uint64_t element(const Object& container, uint64_t index) const;
    uint64_t key(const Object& dictionary, uint64_t index) const { return element(dictionary, index); }
    uint64_t value(const Object& dictionary, uint64_t index) const {
        return element(dictionary, dictionary.count + index);
    }
    // Which of the texts the object at the reference is (its index), or -1.
    int matchKey(uint64_t ref, std::span<const std::string_view> candidates) const;
    // The value of the first entry whose key is the text; false when there is none.
    bool find(const Object& dictionary, std::string_view key, Object& out) const;
    // Texts as UTF-8 (unpaired surrogates and bytes beyond ASCII in an ASCII text become U+FFFD).
    std::string text(const Object& string) const;
    bool textEquals(const Object& string, std::string_view text) const;
    const uint8_t* bytes(const Object& data) const { return bytes_ + data.at; }

private:
    uint64_t readUnsigned(size_t at, unsigned width) const;

    const uint8_t* bytes_ = nullptr;
    size_t end_ = 0;  // objects lie before the offset table
    unsigned offsetWidth_ = 0;
    unsigned refWidth_ = 0;
    uint64_t count_ = 0;
    uint64_t top_ = 0;
    size_t table_ = 0;
};

}  // namespace brindlecue::platform::bplist
