// Every reader of a file beside the uninstaller refuses a file beyond its
// limit before it allocates anything for it, also when the size needs more
// than 32 bits (where a 32-bit build used to wrap "size + 2").
#include <gtest/gtest.h>

#include <functional>

#include "base/XmlConfigDocument.h"
#include "base/unique_any.h"
#include "manifest/IniWrap.h"
#include "manifest/Settings.h"
#include "support/TestSupport.h"

using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr uint64_t kLimit = base::kMaxConfigFileBytes;
constexpr uint64_t kAll32Bits = 0xFFFFFFFFu;
constexpr uint64_t kBeyond32Bits = 0x100000010u;
constexpr unsigned kBitsPerByte = 8;
constexpr uint32_t kByteMask = 0xFF;

// `head` followed by zero bytes up to `size` (a sparse file: nothing is written).
bool WriteSized(const std::wstring& path, const std::string& head, uint64_t size) {
    if (!WriteBytes(path, head)) return false;
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    return file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

std::string Scrambled(const std::string& plain) {
    std::string out = plain;
    for (char& c : out) c = static_cast<char>(c ^ base::kScrambleKey);
    return out;
}

// A product-search header whose payload length matches a file of `size` bytes.
std::string ProductSearchHead(uint64_t size) {
    std::string head = manifest::EncodeProductSearchContainer("");
    const auto length = static_cast<uint32_t>(size - manifest::kProductSearchHeaderBytes);
    for (size_t i = 0; i < sizeof(length); ++i) {
        head[manifest::kProductSearchLengthOffset + i] = static_cast<char>((length >> (kBitsPerByte * i)) & kByteMask);
    }
    return head;
}

TEST(ReaderLimits, FilesBeyondTheLimitAreRefused) {
    TempDir dir(L"limits");
    const std::wstring path = dir / L"lminfo.dat";
    struct Reader {
        const char* name;
        std::string head;
        std::function<bool()> read;  // true when the content was taken
    };
    const Reader readers[] = {
        {"XML document", "<a>", [&] { return base::XmlConfigDocument().LoadFile(path); }},
        {"scrambled text", Scrambled("[config]"),
         [&] {
             std::string text;
             return base::ReadScrambledText(path, text);
         }},
        {"settings", "[config]\r\n",
         [&] {
             manifest::QIniWrapEx ini;
             return ini.Load(path);
         }},
    };
    for (const Reader& reader : readers) {
        SCOPED_TRACE(reader.name);
        for (const uint64_t size : {kLimit + 1, kAll32Bits, kBeyond32Bits}) {
            SCOPED_TRACE(size);
            ASSERT_TRUE(WriteSized(path, reader.head, size));
            EXPECT_FALSE(reader.read());
        }
    }
    // A product-search payload beyond the limit is refused even when the file holds it.
    for (const uint64_t size : {kLimit + manifest::kProductSearchHeaderBytes + 1, kAll32Bits}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(WriteSized(path, ProductSearchHead(size), size));
        EXPECT_EQ(manifest::ComputeInstalledProductMask(dir.path()), 0u);
    }
}

TEST(ReaderLimits, ScrambledTextOfExactlyTheLimitIsRead) {
    TempDir dir(L"limits");
    const std::string plain(kLimit, 'x');
    ASSERT_TRUE(WriteBytes(dir / L"exact.dat", Scrambled(plain)));
    std::string text;
    ASSERT_TRUE(base::ReadScrambledText(dir / L"exact.dat", text));
    EXPECT_EQ(text.size(), kLimit);
}

}  // namespace
