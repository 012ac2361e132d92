// The INI document of the viewer's settings files: "[section]" lines and
// "key=value" pairs, names case-insensitive.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace manifest {

// Settings files larger than this are not read at all.
constexpr uint64_t kMaxIniFileBytes = 2u * 1024u * 1024u;

// UTF-8 bytes of a settings file to the text that Parse expects: decoded up to
// the first zero byte, every carriage return turned into a line feed.
std::wstring DecodeIniBytes(std::string_view bytes);

class QIniWrapEx {
public:
    using Section = std::map<std::wstring, std::wstring>;  // lower-cased key -> value

    QIniWrapEx() = default;
    virtual ~QIniWrapEx() = default;
    QIniWrapEx(const QIniWrapEx&) = default;
    QIniWrapEx& operator=(const QIniWrapEx&) = default;

    // Reads a settings file; a missing one is created empty (with its parent
    // directories) and true means it was created. An existing file counts as
    // loaded whatever its content; only an unreadable or oversized one fails.
    bool Load(const std::wstring& path);

    // Adds the text's sections and pairs to the document. False when the text
    // has no "[" or a malformed line stopped the parse (earlier lines stay).
    virtual bool Parse(const std::wstring& text);
    // "[name]" and "key=value" lines, CRLF-terminated, in the map's order.
    virtual bool Serialize(std::wstring& out) const;

    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;
    // Empty when absent.
    std::wstring GetString(const std::wstring& section, const std::wstring& key) const;
    bool Has(const std::wstring& section, const std::wstring& key) const;

    void Clear();
    bool empty() const noexcept { return sections_.empty(); }
    const std::map<std::wstring, Section>& sections() const noexcept { return sections_; }

private:
    const std::wstring* Find(const std::wstring& section, const std::wstring& key) const;

    std::wstring current_section_;
    std::map<std::wstring, Section> sections_;
};

}  // namespace manifest
