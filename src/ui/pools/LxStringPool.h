// The string pool (LxString): numbered texts from the string document
// (root "string", one "s" element with a decimal "id" per text).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace ui {

constexpr int kStringDocumentId = 10002;

class LxStringPool {
public:
    static LxStringPool& Global();

    // Adds the texts of one document; an id already present keeps its first
    // text. False (pool unchanged) when the text does not parse or its root
    // is not "string".
    bool LoadDocument(std::string_view xml);
    const std::wstring* GetString(int id) const;
    void Clear() { strings_.clear(); }

private:
    std::map<int, std::wstring> strings_;
};

bool LoadStrings(int id = kStringDocumentId);

// Replaces every "%strN%" (N a decimal number of at least 1) by text N of the
// pool; a missing text leaves its placeholder. A number below 1 or a missing
// closing "%" stops the substitution and keeps the rest unchanged.
std::wstring SubstituteStrings(const std::wstring& text, const LxStringPool& pool);

}  // namespace ui
