#include "platform/BinaryPropertyList.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

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

unsigned log2Width(unsigned width) { return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3; }

void appendBigEndian(std::vector<uint8_t>& out, uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A marker with its count: in the low four bits below 15, else 0xF and an integer object.
void appendMarker(std::vector<uint8_t>& out, uint8_t type, uint64_t count) {
    if (count < 15) {
        out.push_back(static_cast<uint8_t>(type << 4 | count));
        return;
    }
    out.push_back(static_cast<uint8_t>(type << 4 | 0xF));
    unsigned width = widthFor(count);
    out.push_back(static_cast<uint8_t>(kInteger << 4 | log2Width(width)));
    appendBigEndian(out, count, width);
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

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

// ---- Writer ----------------------------------------------------------------------------------

Ref Writer::finishBytes(size_t begin, bool share) {
    auto next = static_cast<Ref>(objects_.size());
    if (share) {
        std::string_view encoded(reinterpret_cast<const char*>(bytes_.data() + begin), bytes_.size() - begin);
        auto [it, inserted] = shared_.try_emplace(std::hash<std::string_view>{}(encoded), next);
        if (!inserted) {
            const Object& earlier = objects_[it->second];
            if (earlier.end - earlier.begin == encoded.size() &&
                std::memcmp(bytes_.data() + earlier.begin, encoded.data(), encoded.size()) == 0) {
                bytes_.resize(begin);
                return it->second;
            }
        }
    }
    objects_.push_back({Kind::Bytes, begin, bytes_.size()});
    return next;
}

Ref Writer::boolean(bool value) {
    size_t begin = bytes_.size();
    bytes_.push_back(value ? 0x09 : 0x08);
    return finishBytes(begin, true);
}

Ref Writer::integer(int64_t value) {
    size_t begin = bytes_.size();
    // Widths below eight bytes are unsigned; eight bytes are two's complement.
    unsigned width = value < 0 ? 8 : widthFor(static_cast<uint64_t>(value));
    bytes_.push_back(static_cast<uint8_t>(kInteger << 4 | log2Width(width)));
    appendBigEndian(bytes_, static_cast<uint64_t>(value), width);
    return finishBytes(begin, true);
}

Ref Writer::real(double value) {
    size_t begin = bytes_.size();
    if (std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max() &&
        static_cast<double>(static_cast<float>(value)) == value) {
        auto single = static_cast<float>(value);
        uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        bytes_.push_back(kReal << 4 | 2);
        appendBigEndian(bytes_, bits, 4);
    } else {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        bytes_.push_back(kReal << 4 | 3);
        appendBigEndian(bytes_, bits, 8);
    }
    return finishBytes(begin, true);
}

Ref Writer::string(std::string_view text) {
    size_t begin = bytes_.size();
    bool ascii = true;
    for (char c : text) {
        if (static_cast<uint8_t>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        appendMarker(bytes_, kAscii, text.size());
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return finishBytes(begin, true);
    }
    std::vector<uint16_t> units;
    units.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 | c >> 10));
            units.push_back(static_cast<uint16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(c));
        }
    }
    appendMarker(bytes_, kUtf16, units.size());
    for (uint16_t unit : units) appendBigEndian(bytes_, unit, 2);
    return finishBytes(begin, true);
}

Ref Writer::data(const uint8_t* bytes, size_t length) {
    size_t begin = bytes_.size();
    appendMarker(bytes_, kData, length);
    if (length > 0) bytes_.insert(bytes_.end(), bytes, bytes + length);
    return finishBytes(begin, false);
}

Ref Writer::uid(uint64_t value) {
    size_t begin = bytes_.size();
    unsigned width = widthFor(value);
    bytes_.push_back(static_cast<uint8_t>(kUid << 4 | (width - 1)));
    appendBigEndian(bytes_, value, width);
    return finishBytes(begin, true);
}

Ref Writer::container(Kind kind, std::span<const Ref> first, std::span<const Ref> second) {
    size_t begin = refs_.size();
    refs_.insert(refs_.end(), first.begin(), first.end());
    refs_.insert(refs_.end(), second.begin(), second.end());
    objects_.push_back({kind, begin, refs_.size()});
    return static_cast<Ref>(objects_.size() - 1);
}

Ref Writer::array(std::span<const Ref> elements) { return container(Kind::Array, elements, {}); }

Ref Writer::dictionary(std::span<const Ref> keys, std::span<const Ref> values) {
    return container(Kind::Dictionary, keys, values);
}

std::vector<uint8_t> Writer::finish(Ref top) const {
    const uint64_t count = objects_.size();
    const unsigned refWidth = widthFor(count > 0 ? count - 1 : 0);
    std::vector<uint8_t> out;
    out.reserve(sizeof kHeader + bytes_.size() + refs_.size() * refWidth + objects_.size() * 12 + kTrailerSize);
    out.resize(sizeof kHeader);
    std::memcpy(out.data(), kHeader, sizeof kHeader);
    std::vector<uint64_t> offsets;
    offsets.reserve(count);
    for (const Object& object : objects_) {
        offsets.push_back(out.size());
        if (object.kind == Kind::Bytes) {
            out.insert(out.end(), bytes_.begin() + static_cast<ptrdiff_t>(object.begin),
                       bytes_.begin() + static_cast<ptrdiff_t>(object.end));
            continue;
        }
        uint64_t refs = object.end - object.begin;
        if (object.kind == Kind::Array)
            appendMarker(out, kArray, refs);
        else
            appendMarker(out, kDictionary, refs / 2);
        for (size_t i = object.begin; i < object.end; ++i) appendBigEndian(out, refs_[i], refWidth);
    }
    const uint64_t table = out.size();
    const unsigned offsetWidth = widthFor(offsets.empty() ? 0 : offsets.back());
    for (uint64_t offset : offsets) appendBigEndian(out, offset, offsetWidth);
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<uint8_t>(offsetWidth));
    out.push_back(static_cast<uint8_t>(refWidth));
    appendBigEndian(out, count, 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, table, 8);
    return out;
}

// ---- Reader ----------------------------------------------------------------------------------

uint64_t Reader::readUnsigned(size_t at, unsigned width) const {
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value = value << 8 | bytes_[at + i];
    return value;
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

bool Reader::find(const Object& dictionary, std::string_view key, Object& out) const {
    if (dictionary.kind != Kind::Dictionary) return false;
    Object candidate;
    for (uint64_t i = 0; i < dictionary.count; ++i) {
        if (object(this->key(dictionary, i), candidate) && textEquals(candidate, key))
            return object(value(dictionary, i), out);
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
