// The one XML reader of the configuration files (manifest, extra actions,
// product-search data): a parsed document plus a cursor on one node.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/XmlDepth.h"

class TiXmlDocument;
class TiXmlNode;

namespace base {

// Larger files are refused outright rather than parsed (the XML files and the
// scrambled data files alike).
constexpr uint64_t kMaxConfigFileBytes = 2u * 1024u * 1024u;

// Parses a text (up to its first zero byte) into `doc` unless it is empty or
// nests deeper than kMaxXmlDepth; false when it was not parsed. Whether
// the parser met an error is the document's to tell. Every XML text goes
// through here.
bool ParseXmlText(TiXmlDocument& doc, std::string_view text, XmlEncoding encoding);

// UTF-8 to UTF-16 through the platform's conversion. Results of up to
// kInlineChars characters (terminator included) stay in the object itself.
class QUTF8ToUTF16Ex {
public:
    static constexpr size_t kInlineChars = 128;

    explicit QUTF8ToUTF16Ex(const char* utf8);
    QUTF8ToUTF16Ex(const QUTF8ToUTF16Ex&) = delete;
    QUTF8ToUTF16Ex& operator=(const QUTF8ToUTF16Ex&) = delete;

    // Null exactly when the input was null.
    const wchar_t* c_str() const noexcept { return result_; }
    bool on_heap() const noexcept { return heap_ != nullptr; }

private:
    wchar_t inline_[kInlineChars] = {};
    std::unique_ptr<wchar_t[]> heap_;
    const wchar_t* result_ = nullptr;
};

// Splits a cursor path at "\" and "/"; splitting stops at the first empty
// segment (leading separator, doubled separator), so a trailing one is harmless.
std::vector<std::string> SplitConfigPath(std::string_view path);

class XmlConfigDocument {
public:
    XmlConfigDocument();
    ~XmlConfigDocument();
    XmlConfigDocument(const XmlConfigDocument&) = delete;
    XmlConfigDocument& operator=(const XmlConfigDocument&) = delete;

    // Reads (at most kMaxConfigFileBytes) and parses a file; the cursor is none afterwards.
    bool LoadFile(const std::wstring& path);
    // Parses text already in memory; the text ends at its first zero byte. A
    // text nested deeper than kMaxXmlDepth is refused like a malformed one.
    bool LoadText(std::string_view bytes);

    bool SelectPath(const char* path);
    bool EnterConfig();
    bool EnterChild(const char* name);   // nullptr or "" for any element
    bool NextSibling(const char* name);  // nullptr or "" for any element
    bool LeaveToParent();

    bool GetWideAttribute(const char* name, std::wstring& out) const;
    bool GetRawAttribute(const char* name, std::string& out) const;
    bool GetIntAttribute(const char* name, int32_t& out) const;

    bool HasCursor() const noexcept { return cursor_ != nullptr; }
    // Name of the element under the cursor; empty when there is none.
    std::string CursorName() const;

private:
    const char* FindAttribute(const char* name) const;

    std::unique_ptr<TiXmlDocument> doc_;
    TiXmlNode* cursor_ = nullptr;
};

// Reads a whole file of at most kMaxConfigFileBytes into `bytes`; false (and
// nothing kept) when it cannot be opened, is larger or is read short.
bool ReadConfigFile(const std::wstring& path, std::string& bytes);
// Reads a whole scrambled data file (at most kMaxConfigFileBytes) and undoes
// the scrambling.
bool ReadScrambledText(const std::wstring& path, std::string& text);
// The scrambling itself: every byte XORed with kScrambleKey; the text ends at
// the first zero byte of the result.
constexpr unsigned char kScrambleKey = 0xA7;
std::string UnscrambleText(std::string_view bytes);

}  // namespace base
