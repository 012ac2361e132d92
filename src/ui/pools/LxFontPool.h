// The font pool: one base font description and the fonts made from 16-bit
// font codes (bit 0x1 italic, 0x2 underline, 0x4 bold, high byte a signed
// size step in pixels), cached by code and scaled flag.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "base/unique_any.h"

namespace ui {

constexpr int kBaseFontHeight = -12;

// The face for the base font: the first value of the installed-fonts table
// that exists decides; none gives "宋体".
std::wstring ChooseBaseFace(const std::function<bool(const wchar_t* valueName)>& valueExists);
// The same, asking the registry key root\path for the values.
std::wstring ChooseBaseFaceFromRegistry(HKEY root, const wchar_t* path);
// ClearType for the YaHei faces, antialiased otherwise.
BYTE FontQualityFor(const std::wstring& face);
bool IsYaheiFace(const std::wstring& face);
// The description of font `code` made from the base (heights are negative
// character heights: a positive size step makes the font larger).
LOGFONTW FontForCode(const LOGFONTW& base, uint16_t code);

class LxFontPool {
public:
    static LxFontPool& Global();

    // Builds the base description from the system's GUI font and the face
    // that the installed-fonts key of HKEY_LOCAL_MACHINE allows.
    LxFontPool();
    explicit LxFontPool(const LOGFONTW& base) : base_(base) {}

    const LOGFONTW& Base() const { return base_; }
    // The font of `code`, display-scaled when `scaled`; created once per key
    // and kept until the pool goes. Null when the platform refuses it.
    HFONT GetFont(uint16_t code, bool scaled);
    size_t CreatedCount() const { return created_; }
    void Clear();

private:
    LOGFONTW base_;
    std::mutex lock_;
    std::map<uint32_t, base::unique_gdi_object> fonts_;
    size_t created_ = 0;
};

}  // namespace ui
