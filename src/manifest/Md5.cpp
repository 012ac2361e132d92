#include "manifest/Md5.h"

#include <bcrypt.h>

#include <cstdio>
#include <vector>

#include "base/unique_any.h"

namespace manifest {

namespace {

constexpr DWORD kReadChunkBytes = 64 * 1024;
// BCrypt's own success status, without pulling in ntstatus.h.
constexpr NTSTATUS kStatusSuccess = 0;

void CloseAlgorithm(BCRYPT_ALG_HANDLE handle) noexcept { ::BCryptCloseAlgorithmProvider(handle, 0); }
void DestroyHash(BCRYPT_HASH_HANDLE handle) noexcept { ::BCryptDestroyHash(handle); }

using unique_bcrypt_alg = base::unique_any<base::handle_traits<BCRYPT_ALG_HANDLE, nullptr, CloseAlgorithm>>;
using unique_bcrypt_hash = base::unique_any<base::handle_traits<BCRYPT_HASH_HANDLE, nullptr, DestroyHash>>;

}  // namespace

struct QMD5::State {
    unique_bcrypt_alg algorithm;
    std::vector<UCHAR> object;  // must outlive the hash handle: declared before it
    unique_bcrypt_hash hash;
    bool finished = false;
};

QMD5::QMD5() : state_(std::make_unique<State>()) {
    if (::BCryptOpenAlgorithmProvider(state_->algorithm.put(), BCRYPT_MD5_ALGORITHM, nullptr, 0) != kStatusSuccess) {
        state_->algorithm.reset();
        return;
    }
    DWORD objectBytes = 0;
    ULONG written = 0;
    if (::BCryptGetProperty(state_->algorithm.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectBytes),
                            sizeof(objectBytes), &written, 0) == kStatusSuccess &&
        objectBytes > 0) {
        state_->object.resize(objectBytes);
    }
    if (::BCryptCreateHash(state_->algorithm.get(), state_->hash.put(),
                           state_->object.empty() ? nullptr : state_->object.data(),
                           static_cast<ULONG>(state_->object.size()), nullptr, 0, 0) != kStatusSuccess) {
        state_->hash.reset();
    }
}

QMD5::~QMD5() = default;

bool QMD5::ok() const noexcept { return state_->hash.valid() && !state_->finished; }

bool QMD5::Update(const void* data, size_t size) {
    if (!ok()) return false;
    const UCHAR* bytes = static_cast<const UCHAR*>(data);
    // The service takes 32-bit lengths; feed larger blocks in pieces.
    while (size > 0) {
        const ULONG piece = size > kReadChunkBytes ? kReadChunkBytes : static_cast<ULONG>(size);
        if (::BCryptHashData(state_->hash.get(), const_cast<PUCHAR>(bytes), piece, 0) != kStatusSuccess) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool QMD5::Final(Md5Digest& digest) {
    if (!ok()) return false;
    state_->finished = true;
    return ::BCryptFinishHash(state_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0) ==
           kStatusSuccess;
}

std::string Md5Hex(const Md5Digest& digest) {
    std::string text;
    char pair[3];
    for (const uint8_t byte : digest) {
        std::snprintf(pair, sizeof(pair), "%02x", byte);
        text += pair;
    }
    return text;
}

std::string Md5HexOfFile(HANDLE file) {
    QMD5 md5;
    if (!md5.ok() || file == nullptr || file == INVALID_HANDLE_VALUE) return {};
    std::vector<char> buffer(kReadChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), kReadChunkBytes, &read, nullptr)) return {};
        if (read == 0) break;
        if (!md5.Update(buffer.data(), read)) return {};
    }
    Md5Digest digest{};
    return md5.Final(digest) ? Md5Hex(digest) : std::string();
}

std::string Md5HexOfBytes(const std::string& bytes) {
    QMD5 md5;
    Md5Digest digest{};
    if (!md5.Update(bytes.data(), bytes.size()) || !md5.Final(digest)) return {};
    return Md5Hex(digest);
}

}  // namespace manifest
