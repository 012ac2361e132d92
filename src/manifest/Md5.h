// MD5 digests (RFC 1321) through the platform's hashing service, used to
// verify a program's content before an extra action runs it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace manifest {

constexpr size_t kMd5DigestBytes = 16;
using Md5Digest = std::array<uint8_t, kMd5DigestBytes>;

class QMD5 {
public:
    QMD5();
    ~QMD5();
    QMD5(const QMD5&) = delete;
    QMD5& operator=(const QMD5&) = delete;

    // False when the platform's MD5 provider is unavailable; every later call then fails.
    bool ok() const noexcept;
    bool Update(const void* data, size_t size);
    // Ends the computation; the object cannot be updated afterwards.
    bool Final(Md5Digest& digest);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Each byte as "%02x": 32 lower-case hexadecimal digits.
std::string Md5Hex(const Md5Digest& digest);
// Digest of everything readable from an open file's current position on;
// empty when reading or hashing fails.
std::string Md5HexOfFile(HANDLE file);
// Digest of a byte string (empty on failure).
std::string Md5HexOfBytes(const std::string& bytes);

}  // namespace manifest
