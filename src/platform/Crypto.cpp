#include "platform/Crypto.h"

// MD5 goes through OpenSSL's one-shot MD5(), which OpenSSL 3 marks deprecated in favour of EVP:
// the EVP digest is fetched from a provider, and the first fetch in a process sets up OpenSSL's
// configuration and providers, a millisecond or more that the store's model hash would otherwise
// pay on the main thread at every launch. MD5() hashes in place, with nothing to set up.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <sys/random.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include <pthread.h>

namespace brindlecue::platform {

namespace {

std::string md5(const void* bytes, size_t length) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(static_cast<const unsigned char*>(bytes), length, digest);
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(2 * MD5_DIGEST_LENGTH);
    for (unsigned int i = 0; i < MD5_DIGEST_LENGTH; ++i) {
        out.push_back(hex[digest[i] >> 4]);
        out.push_back(hex[digest[i] & 0x0f]);
    }
    return out;
}

bool isBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

}  // namespace

namespace {

// Random bytes from the kernel, taken a block at a time per thread: one system call serves many
// identifiers (the library's uuid generator reseeds a user-space generator on every call).
// A forked child must not hand out the bytes its parent will also hand out.
std::atomic<unsigned> forkGeneration{0};

void randomBytes(unsigned char* out, size_t count) {
    static std::once_flag watchForks;
    std::call_once(watchForks, [] { pthread_atfork(nullptr, nullptr, [] { ++forkGeneration; }); });
    thread_local unsigned char block[4096];
    thread_local size_t used = sizeof block;
    thread_local unsigned generation = 0;
    if (generation != forkGeneration.load()) {
        generation = forkGeneration.load();
        used = sizeof block;
    }
    while (count > 0) {
        if (used == sizeof block) {
            size_t filled = 0;
            while (filled < sizeof block) {
                ssize_t n = getrandom(block + filled, sizeof block - filled, 0);
                if (n > 0) filled += static_cast<size_t>(n);
            }
            used = 0;
        }
        size_t take = std::min(count, sizeof block - used);
        std::memcpy(out, block + used, take);
        // Bytes handed out are not kept around.
        std::memset(block + used, 0, take);
        used += take;
        out += take;
        count -= take;
    }
}

std::string randomUUID(void (*unparse)(const uuid_t, char*)) {
    uuid_t id;
    randomBytes(id, sizeof id);
    id[6] = static_cast<unsigned char>((id[6] & 0x0F) | 0x40);  // version 4: random
    id[8] = static_cast<unsigned char>((id[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    unparse(id, text);
    return std::string(text, 36);
}

}  // namespace

std::string Crypto::uuidString() {
    return randomUUID(uuid_unparse_upper);
}

std::string Crypto::lowercaseUUIDString() {
    return randomUUID(uuid_unparse_lower);
}

std::string Crypto::md5Hex(const Data& bytes) {
    return md5(bytes.data(), bytes.size());
}

std::string Crypto::md5Hex(std::string_view text) {
    return md5(text.data(), text.size());
}

std::string Crypto::base64Encode(const Data& bytes) {
    if (bytes.empty()) return "";
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                            static_cast<int>(bytes.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

std::optional<Data> Crypto::base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return Data();
    size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') ++padding;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        if (!isBase64Char(text[i])) return std::nullopt;
    }
    // EVP_DecodeBlock counts the padding as zero bytes; they are dropped below.
    Data out(text.size() / 4 * 3);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0 || static_cast<size_t>(n) < padding) return std::nullopt;
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

}  // namespace brindlecue::platform
