#include "platform/BinaryPropertyList.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Utf8.h"
#include "platform/Value.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform::bplist {

namespace {

constexpr uint8_t kHeader[8] = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
constexpr size_t kTrailerSize = 32;

// Object types, the high four bits of an object's marker byte.
constexpr uint8_t kSimple = 0x0, kInteger = 0x1, kReal = 0x2, kDate = 0x3, kData = 0x4, kAscii = 0x5,
                  kUtf16 = 0x6, kUid = 0x8, kArray = 0xA, kSet = 0xC, kDictionary = 0xD;

unsigned widthFor(uint64_t value) {
    if (value <= 0xFF) return 1;
    if (value <= 0xFFFF) return 2;
    if (value <= 0xFFFFFFFFu) return 4;
    return 8;
}

unsigned log2Width(unsigned width) {
    return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
}

// The next code point of UTF-8 text, or U+FFFD for a byte that starts no valid sequence (which
// is then skipped alone).
char32_t nextCodePoint(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t b = byte(i);
    unsigned length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (unsigned k = 1; k < length; ++k) {
        uint8_t next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = c << 6 | (next & 0x3F);
    }
    static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return c;
}

}  // namespace

// ---- Writer ----------------------------------------------------------------------------------

namespace {

uint32_t hashBytes(const uint8_t* p, size_t n) {
    const uint8_t* end = p + n;
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xBF58476D1CE4E5B9ull);
    for (; end - p >= 8; p += 8) {
        uint64_t w = 0;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    // The last bytes: the final eight again when there are that many, else one at a time.
    uint64_t w = 0;
    if (p != end) {
        if (n >= 8) {
            std::memcpy(&w, end - 8, 8);
        } else {
            for (unsigned shift = 0; p != end; ++p, shift += 8) w |= uint64_t(*p) << shift;
        }
    }
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h);
}

constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;

// Whether a word of text bytes has a byte beyond ASCII or a zero byte (whose borrow sets the high
// bit of a byte that had none).
inline bool unplainWord(uint64_t w) {
    return ((w | ((w - kOnes) & ~w)) & kHigh) != 0;
}

// hashBytes of a text, and whether every byte is ASCII and none is 0, in one reading.
uint32_t hashText(const uint8_t* p, size_t n, bool& plain) {
    const uint8_t* end = p + n;
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xBF58476D1CE4E5B9ull);
    bool unplain = false;
    for (; end - p >= 8; p += 8) {
        uint64_t w = 0;
        std::memcpy(&w, p, 8);
        unplain |= unplainWord(w);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    uint64_t w = 0;
    if (p != end) {
        if (n >= 8) {
            std::memcpy(&w, end - 8, 8);
            unplain |= unplainWord(w);
        } else if (n >= 4) {
            // Two reads of four that overlap: every byte of the text is in the word.
            uint32_t low = 0, high = 0;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, end - 4, 4);
            w = uint64_t(high) << 32 | low;
            unplain |= unplainWord(w);
        } else {
            // The first, middle and last bytes are every byte of a text this short.
            w = uint64_t(p[0]) | uint64_t(p[n / 2]) << 8 | uint64_t(p[n - 1]) << 16;
            // Only the text's own bytes: those above them are zero, and no borrow reaches down.
            unplain |= ((w | ((w - kOnes) & ~w)) & kHigh & 0xFFFFFF) != 0;
        }
    }
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    plain = !unplain;
    return static_cast<uint32_t>(h);
}

// Equal bytes, for the short runs objects are made of.
inline bool sameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    auto same8 = [](const uint8_t* x, const uint8_t* y) {
        uint64_t u = 0, v = 0;
        std::memcpy(&u, x, 8);
        std::memcpy(&v, y, 8);
        return u == v;
    };
    auto same4 = [](const uint8_t* x, const uint8_t* y) {
        uint32_t u = 0, v = 0;
        std::memcpy(&u, x, 4);
        std::memcpy(&v, y, 4);
        return u == v;
    };
    if (n < 4) return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
    if (n < 8) return same4(a, b) && same4(a + n - 4, b + n - 4);
    // Words, and the last eight bytes again (overlapping) for what is left.
    for (size_t i = 0; i + 8 <= n; i += 8)
        if (!same8(a + i, b + i)) return false;
    return same8(a + n - 8, b + n - 8);
}

// Copies the short runs most objects are without a call for each.
inline void copyBytes(uint8_t* to, const uint8_t* from, size_t n) {
    if (n > 32) {
        std::memcpy(to, from, n);
    } else if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

uint8_t* putBigEndian(uint8_t* p, uint64_t value, unsigned width) {
    switch (width) {
        case 1:
            *p = static_cast<uint8_t>(value);
            return p + 1;
        case 2:
            p[0] = static_cast<uint8_t>(value >> 8);
            p[1] = static_cast<uint8_t>(value);
            return p + 2;
        case 4: {
            const uint32_t big = __builtin_bswap32(static_cast<uint32_t>(value));
            std::memcpy(p, &big, 4);
            return p + 4;
        }
        case 8: {
            const uint64_t big = __builtin_bswap64(value);
            std::memcpy(p, &big, 8);
            return p + 8;
        }
        default:
            for (unsigned i = width; i-- > 0;) *p++ = static_cast<uint8_t>(value >> (8 * i));
            return p;
    }
}

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

size_t markerSize(uint64_t count) {
    return count < 15 ? 1 : 2 + widthFor(count);
}

uint8_t* putMarker(uint8_t* p, uint8_t type, uint64_t count) {
    if (count < 15) {
        *p++ = static_cast<uint8_t>(type << 4 | count);
        return p;
    }
    *p++ = static_cast<uint8_t>(type << 4 | 0xF);
    unsigned width = widthFor(count);
    *p++ = static_cast<uint8_t>(kInteger << 4 | log2Width(width));
    return putBigEndian(p, count, width);
}

}  // namespace

void Writer::clear() {
    // Memory of a large file is given back rather than kept.
    constexpr size_t kKept = size_t(1) << 20;
    if (bytes_.capacity() > kKept || table_.size() > kKept / sizeof(Slot)) {
        *this = Writer();
        return;
    }
    bytesUsed_ = 0;
    refsUsed_ = 0;
    objects_.clear();
    fixedSize_ = 0;
    std::fill(table_.begin(), table_.end(), Slot{0, kEmpty});
    tableUsed_ = 0;
}

bool Writer::sameObjects(const Writer& other) const {
    if (objects_.size() != other.objects_.size() || bytesUsed_ != other.bytesUsed_ ||
        refsUsed_ != other.refsUsed_ ||
        !std::equal(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(bytesUsed_),
                    other.bytes_.begin()))
        return false;
    if (!std::equal(refs_.begin(), refs_.begin() + static_cast<std::ptrdiff_t>(refsUsed_),
                    other.refs_.begin()))
        return false;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const Object& a = objects_[i];
        const Object& b = other.objects_[i];
        if (a.kind != b.kind || a.begin != b.begin || a.end != b.end) return false;
    }
    return true;
}

void Writer::seal() {
    table_ = {};
    tableUsed_ = 0;
    units_ = {};
    bytes_.resize(bytesUsed_);
    bytes_.shrink_to_fit();
    refs_.resize(refsUsed_);
    refs_.shrink_to_fit();
    objects_.shrink_to_fit();
}

void Writer::growTable() {
    std::vector<Slot> old = std::move(table_);
    table_.assign(old.empty() ? 256 : old.size() * 2, Slot{0, kEmpty});
    const size_t mask = table_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.ref == kEmpty) continue;
        size_t i = slot.hash & mask;
        while (table_[i].ref != kEmpty) i = (i + 1) & mask;
        table_[i] = slot;
    }
}

Ref Writer::put(const Head& head, const uint8_t* payload, size_t length, uint64_t key, bool share) {
    // A number's key is its mixed value already; a payload's hash is mixed with its key.
    const uint32_t hash =
        share ? static_cast<uint32_t>(length > 0 ? mix(key ^ hashBytes(payload, length)) : key) : 0;
    return store(hash, head.bytes, head.length, payload, length, share);
}

Ref Writer::store(uint32_t hash, const uint8_t* first, size_t firstLength, const uint8_t* second,
                  size_t secondLength, bool share) {
    const auto next = static_cast<Ref>(objects_.size());
    size_t slot = 0;
    if (share) {
        if ((tableUsed_ + 1) * 2 > table_.size()) growTable();
        const size_t mask = table_.size() - 1;
        // Most objects of a large list were written before: an equal one is found without
        // storing anything.
        for (slot = hash & mask; table_[slot].ref != kEmpty; slot = (slot + 1) & mask) {
            if (table_[slot].hash != hash) continue;
            const Object& earlier = objects_[table_[slot].ref];
            if (earlier.kind != Kind::Bytes || earlier.end - earlier.begin != firstLength + secondLength)
                continue;
            const uint8_t* stored = bytes_.data() + earlier.begin;
            if (!sameBytes(stored, first, firstLength) || !sameBytes(stored + firstLength, second, secondLength))
                continue;
            return table_[slot].ref;
        }
    }
    const size_t begin = bytesUsed_;
    const size_t length = firstLength + secondLength;
    if (bytes_.size() - begin < length) bytes_.resize(std::max(2 * bytes_.size(), begin + length + 256));
    copyBytes(bytes_.data() + begin, first, firstLength);
    copyBytes(bytes_.data() + begin + firstLength, second, secondLength);
    bytesUsed_ = begin + length;
    objects_.push_back({begin, bytesUsed_, hash, Kind::Bytes, share});
    fixedSize_ += firstLength + secondLength;
    if (share) {
        table_[slot] = Slot{hash, next};
        ++tableUsed_;
    }
    return next;
}

std::vector<Ref> Writer::merge(const Writer& other) {
    std::vector<Ref> refs;
    refs.reserve(other.objects_.size());
    std::vector<Ref> elements;
    for (const Object& object : other.objects_) {
        switch (object.kind) {
            case Kind::Bytes:
                refs.push_back(store(object.hash, other.bytes_.data() + object.begin,
                                     object.end - object.begin, nullptr, 0, object.shared));
                break;
            case Kind::Uid:
                objects_.push_back(object);
                fixedSize_ += sizeOf(object, 0);
                refs.push_back(static_cast<Ref>(objects_.size() - 1));
                break;
            case Kind::Array:
            case Kind::Dictionary:
                // Elements come before their container, so theirs are known here already.
                elements.clear();
                for (size_t i = object.begin; i < object.end; ++i) elements.push_back(refs[other.refs_[i]]);
                refs.push_back(container(object.kind, elements, {}));
                break;
        }
    }
    return refs;
}

Writer::Head Writer::marker(uint8_t type, uint64_t count) {
    Head head;
    head.length = static_cast<size_t>(putMarker(head.bytes, type, count) - head.bytes);
    return head;
}

Writer::Head Writer::number(uint8_t markerByte, uint64_t value, unsigned width) {
    Head head;
    head.bytes[0] = markerByte;
    head.length = static_cast<size_t>(putBigEndian(head.bytes + 1, value, width) - head.bytes);
    return head;
}

Ref Writer::boolean(bool value) {
    Head head;
    head.bytes[0] = value ? 0x09 : 0x08;
    head.length = 1;
    return put(head, nullptr, 0, value ? 0x09 : 0x08, true);
}

Ref Writer::integer(int64_t value) {
    // Widths below eight bytes are unsigned; eight bytes are two's complement.
    unsigned width = value < 0 ? 8 : widthFor(static_cast<uint64_t>(value));
    auto markerByte = static_cast<uint8_t>(kInteger << 4 | log2Width(width));
    return put(number(markerByte, static_cast<uint64_t>(value), width), nullptr, 0,
               mix(static_cast<uint64_t>(value)) ^ markerByte, true);
}

Ref Writer::real(double value) {
    if (std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max() &&
        static_cast<double>(static_cast<float>(value)) == value) {
        auto single = static_cast<float>(value);
        uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        return put(number(kReal << 4 | 2, bits, 4), nullptr, 0, mix(bits) ^ 0x22, true);
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return put(number(kReal << 4 | 3, bits, 8), nullptr, 0, mix(bits) ^ 0x23, true);
}

Ref Writer::date(double secondsSinceReferenceDate) {
    uint64_t bits = 0;
    std::memcpy(&bits, &secondsSinceReferenceDate, sizeof bits);
    return put(number(kDate << 4 | 3, bits, 8), nullptr, 0, mix(bits) ^ 0x33, true);
}

Ref Writer::string(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    // A text with U+0000 is written as UTF-16: readers that take ASCII texts as C strings end them
    // there. The text is read once for its kind and for the hash put would give it.
    bool plain = true;
    const uint32_t payloadHash = text.empty() ? 0 : hashText(bytes, text.size(), plain);
    if (plain) {
        // The hash of the text (which takes in its length) is the object's: no other kind of object
        // has the same bytes, so no other needs to hash apart from it.
        const Head head = marker(kAscii, text.size());
        return store(payloadHash, head.bytes, head.length, bytes, text.size(), true);
    }
    units_.clear();
    auto unit = [&](char32_t u) {
        units_.push_back(static_cast<uint8_t>(u >> 8));
        units_.push_back(static_cast<uint8_t>(u));
    };
    for (size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 | c >> 10);
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    const size_t count = units_.size() / 2;
    return put(marker(kUtf16, count), units_.data(), units_.size(), uint64_t(kUtf16) << 56 ^ count, true);
}

Ref Writer::data(const uint8_t* bytes, size_t length) {
    return put(marker(kData, length), bytes, length, 0, false);
}

Ref Writer::uid(uint64_t value, bool share) {
    if (!share) return uniqueUid(value);
    unsigned width = widthFor(value);
    auto markerByte = static_cast<uint8_t>(kUid << 4 | (width - 1));
    return put(number(markerByte, value, width), nullptr, 0, mix(value) ^ markerByte, share);
}

Ref Writer::container(Kind kind, std::span<const Ref> first, std::span<const Ref> second) {
    const size_t begin = refsUsed_;
    const size_t end = begin + first.size() + second.size();
    if (refs_.size() < end) refs_.resize(std::max(2 * refs_.size(), end + 256));
    auto* to = reinterpret_cast<uint8_t*>(refs_.data() + begin);
    copyBytes(to, reinterpret_cast<const uint8_t*>(first.data()), first.size_bytes());
    copyBytes(to + first.size_bytes(), reinterpret_cast<const uint8_t*>(second.data()), second.size_bytes());
    refsUsed_ = end;
    const auto next = static_cast<Ref>(objects_.size());
    if (!sharesContainers_) {
        objects_.push_back({begin, end, 0, kind});
        fixedSize_ += markerSize(kind == Kind::Array ? end - begin : (end - begin) / 2);
        return next;
    }
    if ((tableUsed_ + 1) * 2 > table_.size()) growTable();
    // Four lanes of one multiplication a reference, so that the multiplications overlap, and one
    // mix of them all at the end.
    constexpr uint64_t kLane[4] = {0x9E3779B97F4A7C15ull, 0xBF58476D1CE4E5B9ull, 0x94D049BB133111EBull,
                                   0xD6E8FEB86659FD93ull};
    uint64_t lanes[4] = {uint64_t(kind) << 56 ^ (end - begin), 1, 2, 3};
    size_t i = begin;
    for (; i + 4 <= end; i += 4)
        for (size_t k = 0; k < 4; ++k) lanes[k] = (lanes[k] ^ refs_[i + k]) * kLane[k];
    for (size_t k = 0; i < end; ++i, ++k) lanes[k] = (lanes[k] ^ refs_[i]) * kLane[k];
    const uint64_t h = mix(lanes[0] ^ std::rotl(lanes[1], 16) ^ std::rotl(lanes[2], 32) ^ std::rotl(lanes[3], 48));
    const auto hash = static_cast<uint32_t>(h);
    const size_t mask = table_.size() - 1;
    size_t slot = hash & mask;
    for (; table_[slot].ref != kEmpty; slot = (slot + 1) & mask) {
        if (table_[slot].hash != hash) continue;
        const Object& earlier = objects_[table_[slot].ref];
        if (earlier.kind != kind || earlier.end - earlier.begin != end - begin) continue;
        if (!std::equal(refs_.begin() + static_cast<std::ptrdiff_t>(begin),
                        refs_.begin() + static_cast<std::ptrdiff_t>(end),
                        refs_.begin() + static_cast<std::ptrdiff_t>(earlier.begin)))
            continue;
        refsUsed_ = begin;
        return table_[slot].ref;
    }
    objects_.push_back({begin, end, 0, kind});
    fixedSize_ += markerSize(kind == Kind::Array ? end - begin : (end - begin) / 2);
    table_[slot] = Slot{hash, next};
    ++tableUsed_;
    return next;
}

Ref Writer::array(std::span<const Ref> elements) {
    return container(Kind::Array, elements, {});
}

Ref Writer::dictionary(std::span<const Ref> keys, std::span<const Ref> values) {
    return container(Kind::Dictionary, keys, values);
}

size_t Writer::sizeOf(const Object& object, unsigned refWidth) {
    const size_t n = object.end - object.begin;
    switch (object.kind) {
        case Kind::Bytes:
            return n;
        case Kind::Uid:
            return 1 + widthFor(object.begin);
        case Kind::Array:
            return markerSize(n) + n * refWidth;
        case Kind::Dictionary:
            return markerSize(n / 2) + n * refWidth;
    }
    return 0;
}

namespace {

// A number of the width, big-endian; a width of 0 is the one given at run time.
template <unsigned Width>
inline uint8_t* putFixed(uint8_t* p, uint64_t value, unsigned width) {
    if constexpr (Width == 1) {
        *p = static_cast<uint8_t>(value);
    } else if constexpr (Width == 2) {
        const uint16_t big = __builtin_bswap16(static_cast<uint16_t>(value));
        std::memcpy(p, &big, 2);
    } else if constexpr (Width == 4) {
        const uint32_t big = __builtin_bswap32(static_cast<uint32_t>(value));
        std::memcpy(p, &big, 4);
    } else {
        return putBigEndian(p, value, width);
    }
    return p + Width;
}

}  // namespace

template <unsigned OffsetWidth, unsigned RefWidth>
uint8_t* Writer::writeObjects(uint8_t* begin, uint64_t table, unsigned offsetWidth, unsigned refWidth) const {
    uint8_t* p = begin + sizeof kHeader;
    uint8_t* offset = begin + table;
    for (const Object& object : objects_) {
        offset = putFixed<OffsetWidth>(offset, static_cast<uint64_t>(p - begin), offsetWidth);
        const size_t n = object.end - object.begin;
        switch (object.kind) {
            case Kind::Bytes:
                copyBytes(p, bytes_.data() + object.begin, n);
                p += n;
                break;
            case Kind::Uid:
                if (object.begin <= 0xFF) {
                    p[0] = kUid << 4;
                    p[1] = static_cast<uint8_t>(object.begin);
                    p += 2;
                } else {
                    const unsigned width = widthFor(object.begin);
                    *p++ = static_cast<uint8_t>(kUid << 4 | (width - 1));
                    p = putBigEndian(p, object.begin, width);
                }
                break;
            case Kind::Array:
            case Kind::Dictionary: {
                p = putMarker(p, object.kind == Kind::Array ? kArray : kDictionary,
                              object.kind == Kind::Array ? n : n / 2);
                const Ref* refs = refs_.data() + object.begin;
                for (size_t i = 0; i < n; ++i) p = putFixed<RefWidth>(p, refs[i], refWidth);
                break;
            }
        }
    }
    return offset;
}

std::vector<uint8_t> Writer::finish(Ref top) {
    const uint64_t count = objects_.size();
    const unsigned refWidth = widthFor(count > 0 ? count - 1 : 0);
    // The sizes of the objects were counted as they were made, so the file's layout is known
    // before it is written, and objects and their offsets are written in one pass.
    const uint64_t table = sizeof kHeader + fixedSize_ + refsUsed_ * refWidth;
    const uint64_t last = count == 0 ? 0 : table - sizeOf(objects_.back(), refWidth);
    const unsigned offsetWidth = widthFor(last);
    std::vector<uint8_t> out(static_cast<size_t>(table + count * offsetWidth + kTrailerSize));
    uint8_t* p = out.data();
    std::memcpy(p, kHeader, sizeof kHeader);
    // The widths of most files, written without a choice per number (the offsets never take fewer
    // bytes than the references).
    switch (offsetWidth << 4 | refWidth) {
        case 0x11:
            p = writeObjects<1, 1>(p, table, offsetWidth, refWidth);
            break;
        case 0x21:
            p = writeObjects<2, 1>(p, table, offsetWidth, refWidth);
            break;
        case 0x22:
            p = writeObjects<2, 2>(p, table, offsetWidth, refWidth);
            break;
        case 0x42:
            p = writeObjects<4, 2>(p, table, offsetWidth, refWidth);
            break;
        default:
            p = writeObjects<0, 0>(p, table, offsetWidth, refWidth);
            break;
    }
    std::memset(p, 0, 6);
    p += 6;
    *p++ = static_cast<uint8_t>(offsetWidth);
    *p++ = static_cast<uint8_t>(refWidth);
    p = putBigEndian(p, count, 8);
    p = putBigEndian(p, top, 8);
    putBigEndian(p, table, 8);
    return out;
}

namespace {

// Writes the value's objects, children before their container; false on absent or null. With
// pieces, a long array is written in pieces on several workers.
bool writeValue(Writer& writer, const Value& value, std::vector<Ref>& stack, Ref& out, bool pieces = false);

using Written = std::vector<std::shared_ptr<const WrittenValue>>;

// An element of an array: taken in from what was written of it on its own, when there is that.
bool writeElement(Writer& writer, const Value& item, const WrittenValue* written, std::vector<Ref>& stack,
                  Ref& out, bool pieces) {
    if (written == nullptr) return writeValue(writer, item, stack, out, pieces);
    out = writer.merge(written->writer)[written->top];
    return true;
}

// A long array's elements are written in pieces, each by a writer of its own on a worker, then
// taken in piece by piece in order: the objects, their numbers and the file are those that
// writing the elements one after the other gives.
constexpr size_t kPieceElements = 128;

bool writeArrayInPieces(Writer& writer, const Array& items, const Written* written, std::vector<Ref>& stack,
                        Ref& out) {
    const size_t count = (items.size() + kPieceElements - 1) / kPieceElements;
    struct Piece {
        Writer writer;
        std::vector<Ref> elements;
        bool ok = true;
    };
    std::vector<Piece> pieces(count);
    DispatchQueue::concurrentPerform(count, [&](size_t p) {
        Piece& piece = pieces[p];
        piece.writer.setSharesContainers(writer.sharesContainers());
        std::vector<Ref> own;
        const size_t end = std::min(items.size(), (p + 1) * kPieceElements);
        for (size_t i = p * kPieceElements; i < end && piece.ok; ++i) {
            Ref ref = 0;
            piece.ok = writeElement(piece.writer, items[i], written ? (*written)[i].get() : nullptr, own, ref, false);
            piece.elements.push_back(ref);
        }
    });
    const size_t mark = stack.size();
    for (Piece& piece : pieces) {
        if (!piece.ok) return false;
        const std::vector<Ref> refs = writer.merge(piece.writer);
        for (Ref element : piece.elements) stack.push_back(refs[element]);
        piece.writer = Writer();
    }
    out = writer.array(std::span<const Ref>(stack).subspan(mark));
    stack.resize(mark);
    return true;
}

bool writeArray(Writer& writer, const Array& items, const Written* written, std::vector<Ref>& stack, Ref& out,
                bool pieces) {
    if (pieces && items.size() >= 2 * kPieceElements) return writeArrayInPieces(writer, items, written, stack, out);
    const size_t mark = stack.size();
    for (size_t i = 0; i < items.size(); ++i) {
        Ref ref = 0;
        if (!writeElement(writer, items[i], written ? (*written)[i].get() : nullptr, stack, ref, pieces))
            return false;
        stack.push_back(ref);
    }
    out = writer.array(std::span<const Ref>(stack).subspan(mark));
    stack.resize(mark);
    return true;
}

bool writeValue(Writer& writer, const Value& value, std::vector<Ref>& stack, Ref& out, bool pieces) {
    switch (value.type()) {
        case Value::Type::Absent:
        case Value::Type::Null:
            return false;
        case Value::Type::Bool:
            out = writer.boolean(*value.getBool());
            return true;
        case Value::Type::Integer:
            out = writer.integer(*value.getInteger());
            return true;
        case Value::Type::Real:
            out = writer.real(*value.getNumber());
            return true;
        case Value::Type::String:
            out = writer.string(*value.getString());
            return true;
        case Value::Type::Date:
            out = writer.date(value.getDate()->timeIntervalSinceReferenceDate());
            return true;
        case Value::Type::Data: {
            const Data& data = *value.getData();
            out = writer.data(data.data(), data.size());
            return true;
        }
        case Value::Type::Array:
            return writeArray(writer, *value.getArray(), nullptr, stack, out, pieces);
        case Value::Type::Dictionary: {
            const Dictionary& dictionary = *value.getDictionary();
            const size_t mark = stack.size();
            // Keys first, then values, as the container wants them.
            for (const auto& entry : dictionary) stack.push_back(writer.string(entry.first));
            for (const auto& entry : dictionary) {
                Ref ref = 0;
                if (!writeValue(writer, entry.second, stack, ref, pieces)) return false;
                stack.push_back(ref);
            }
            const size_t count = dictionary.size();
            std::span<const Ref> entries = std::span<const Ref>(stack).subspan(mark);
            out = writer.dictionary(entries.first(count), entries.subspan(count, count));
            stack.resize(mark);
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<uint8_t> WrittenValue::file() const {
    Writer copy = writer;
    return copy.finish(top);
}

std::shared_ptr<const WrittenValue> writeOnItsOwn(const Value& value) {
    auto written = std::make_shared<WrittenValue>();
    written->writer.setSharesContainers(true);
    std::vector<Ref> stack;
    if (!writeValue(written->writer, value, stack, written->top)) return nullptr;
    written->writer.seal();
    return written;
}

std::vector<uint8_t> write(const Value& value, const WrittenElements& written, const WrittenValues& values) {
    // A writer of its own: this also runs during exit, after thread-local objects have gone.
    Writer writer;
    writer.setSharesContainers(true);
    std::vector<Ref> stack;
    Ref top = 0;
    const Dictionary* entries = value.getDictionary();
    if ((written.empty() && values.empty()) || entries == nullptr) {
        if (!writeValue(writer, value, stack, top, true)) return {};
        return writer.finish(top);
    }
    // The top dictionary as writeValue writes it, with the elements and values written on their
    // own.
    for (const auto& entry : *entries) stack.push_back(writer.string(entry.first));
    for (const auto& [key, item] : *entries) {
        Ref ref = 0;
        if (auto whole = values.find(key); whole != values.end() && whole->second) {
            stack.push_back(writer.merge(whole->second->writer)[whole->second->top]);
            continue;
        }
        auto elements = written.find(key);
        const Array* items = item.getArray();
        const bool taken = elements != written.end() && items != nullptr && elements->second.size() == items->size();
        if (!(taken ? writeArray(writer, *items, &elements->second, stack, ref, true)
                    : writeValue(writer, item, stack, ref, true)))
            return {};
        stack.push_back(ref);
    }
    const std::span<const Ref> all(stack);
    top = writer.dictionary(all.first(entries->size()), all.subspan(entries->size()));
    return writer.finish(top);
}

// ---- Reader ----------------------------------------------------------------------------------

uint64_t Reader::readUnsigned(size_t at, unsigned width) const {
    const uint8_t* p = bytes_ + at;
    switch (width) {
        case 1:
            return p[0];
        case 2:
            return uint64_t(p[0]) << 8 | p[1];
        default: {
            uint64_t value = 0;
            for (unsigned i = 0; i < width; ++i) value = value << 8 | p[i];
            return value;
        }
    }
}

bool Reader::open(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < sizeof kHeader + kTrailerSize) return false;
    if (std::memcmp(bytes, kHeader, sizeof kHeader) != 0) return false;
    bytes_ = bytes;
    const size_t trailer = size - kTrailerSize;
    offsetWidth_ = bytes[trailer + 6];
    refWidth_ = bytes[trailer + 7];
    count_ = readUnsigned(trailer + 8, 8);
    top_ = readUnsigned(trailer + 16, 8);
    uint64_t table = readUnsigned(trailer + 24, 8);
    if (offsetWidth_ < 1 || offsetWidth_ > 8 || refWidth_ < 1 || refWidth_ > 8) return false;
    if (count_ == 0 || top_ >= count_) return false;
    if (table < sizeof kHeader || table > trailer) return false;
    if ((trailer - table) / offsetWidth_ < count_) return false;
    table_ = static_cast<size_t>(table);
    end_ = table_;
    return true;
}

bool Reader::object(uint64_t ref, Object& out) const {
    if (ref >= count_) return false;
    uint64_t offset = readUnsigned(table_ + static_cast<size_t>(ref) * offsetWidth_, offsetWidth_);
    if (offset < sizeof kHeader || offset >= end_) return false;
    size_t at = static_cast<size_t>(offset);
    const uint8_t marker = bytes_[at++];
    const uint8_t type = marker >> 4, info = marker & 0xF;
    size_t remaining = end_ - at;
    out = Object{};

    // Counts of texts, data and containers: in the marker, or an integer object after it.
    auto readCount = [&]() {
        if (info != 0xF) {
            out.count = info;
            return true;
        }
        if (remaining < 1) return false;
        uint8_t countMarker = bytes_[at];
        if (countMarker >> 4 != kInteger || (countMarker & 0xF) > 3) return false;
        unsigned width = 1u << (countMarker & 0xF);
        if (remaining - 1 < width) return false;
        out.count = readUnsigned(at + 1, width);
        at += 1 + width;
        remaining -= 1 + width;
        return true;
    };

    switch (type) {
        case kSimple:
            if (info == 0x0) {
                out.kind = Kind::Null;
            } else if (info == 0x8 || info == 0x9) {
                out.kind = Kind::Boolean;
                out.boolean = info == 0x9;
            } else {
                return false;
            }
            return true;
        case kInteger: {
            if (info > 4) return false;
            unsigned width = 1u << info;
            if (remaining < width) return false;
            // A 16-byte integer keeps its low 64 bits.
            out.integer = width == 16 ? readUnsigned(at + 8, 8) : readUnsigned(at, width);
            out.kind = Kind::Integer;
            return true;
        }
        case kReal:
        case kDate: {
            if (info != 2 && info != 3) return false;
            if (type == kDate && info != 3) return false;
            unsigned width = 1u << info;
            if (remaining < width) return false;
            uint64_t bits = readUnsigned(at, width);
            if (width == 4) {
                auto small = static_cast<uint32_t>(bits);
                float single = 0;
                std::memcpy(&single, &small, sizeof single);
                out.real = single;
            } else {
                std::memcpy(&out.real, &bits, sizeof out.real);
            }
            out.kind = type == kDate ? Kind::Date : Kind::Real;
            return true;
        }
        case kData:
        case kAscii:
            if (!readCount() || out.count > remaining) return false;
            out.kind = type == kData ? Kind::Data : Kind::AsciiString;
            out.at = at;
            return true;
        case kUtf16:
            if (!readCount() || out.count > remaining / 2) return false;
            out.kind = Kind::Utf16String;
            out.at = at;
            return true;
        case kUid: {
            unsigned width = info + 1u;
            if (width > 8 || remaining < width) return false;
            out.integer = readUnsigned(at, width);
            out.kind = Kind::Uid;
            return true;
        }
        case kArray:
        case kSet:
            if (!readCount() || out.count > remaining / refWidth_) return false;
            out.kind = type == kArray ? Kind::Array : Kind::Set;
            out.at = at;
            return true;
        case kDictionary:
            if (!readCount() || out.count > remaining / refWidth_ / 2) return false;
            out.kind = Kind::Dictionary;
            out.at = at;
            return true;
        default:
            return false;
    }
}

uint64_t Reader::element(const Object& container, uint64_t index) const {
    uint64_t limit = container.kind == Kind::Dictionary ? container.count * 2 : container.count;
    if (index >= limit) return std::numeric_limits<uint64_t>::max();
    return readUnsigned(container.at + static_cast<size_t>(index) * refWidth_, refWidth_);
}

int Reader::matchKey(uint64_t ref, std::span<const std::string_view> candidates) const {
    if (ref >= count_) return -1;
    uint64_t offset = readUnsigned(table_ + static_cast<size_t>(ref) * offsetWidth_, offsetWidth_);
    if (offset < sizeof kHeader || offset >= end_) return -1;
    const uint8_t marker = bytes_[offset];
    const size_t length = marker & 0xF;
    // The usual key: a short ASCII text, compared where it lies.
    if (marker >> 4 == kAscii && length != 0xF) {
        if (end_ - offset - 1 < length) return -1;
        const uint8_t* text = bytes_ + offset + 1;
        for (size_t i = 0; i < candidates.size(); ++i) {
            if (candidates[i].size() == length && std::memcmp(candidates[i].data(), text, length) == 0 &&
                std::all_of(text, text + length, [](uint8_t c) { return c < 0x80; }))
                return static_cast<int>(i);
        }
        return -1;
    }
    Object key;
    if (!object(ref, key)) return -1;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (textEquals(key, candidates[i])) return static_cast<int>(i);
    }
    return -1;
}

bool Reader::find(const Object& dictionary, std::string_view key, Object& out) const {
    if (dictionary.kind != Kind::Dictionary) return false;
    for (uint64_t i = 0; i < dictionary.count; ++i) {
        if (matchKey(this->key(dictionary, i), {&key, 1}) == 0) return object(value(dictionary, i), out);
    }
    return false;
}

bool Reader::textEquals(const Object& string, std::string_view text) const {
    if (string.kind == Kind::AsciiString)
        return string.count == text.size() &&
               (text.empty() || std::memcmp(bytes_ + string.at, text.data(), text.size()) == 0) &&
               std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
    if (string.kind == Kind::Utf16String) return this->text(string) == text;
    return false;
}

std::string Reader::text(const Object& string) const {
    std::string out;
    if (string.kind == Kind::AsciiString) {
        const auto* begin = reinterpret_cast<const char*>(bytes_ + string.at);
        const auto n = static_cast<size_t>(string.count);
        size_t i = 0;
        while (i < n && static_cast<uint8_t>(begin[i]) < 0x80) ++i;
        if (i == n) return std::string(begin, n);
        // Bytes beyond ASCII have no meaning here: U+FFFD, so that the text stays UTF-8.
        out.assign(begin, i);
        for (; i < n; ++i) {
            if (static_cast<uint8_t>(begin[i]) < 0x80)
                out.push_back(begin[i]);
            else
                appendUtf8(out, 0xFFFD);
        }
        return out;
    }
    if (string.kind != Kind::Utf16String) return out;
    out.reserve(static_cast<size_t>(string.count));
    const size_t n = static_cast<size_t>(string.count);
    for (size_t i = 0; i < n; ++i) {
        char32_t unit = static_cast<char32_t>(readUnsigned(string.at + 2 * i, 2));
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n) {
            auto low = static_cast<char32_t>(readUnsigned(string.at + 2 * (i + 1), 2));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return out;
}

}  // namespace brindlecue::platform::bplist
