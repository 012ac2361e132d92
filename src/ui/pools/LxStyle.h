// The style pool: named classes of colours, fonts, text flags and cursors,
// from the style document (root "style", one "class" element per style).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ui/LxObject.h"
#include "ui/pools/LxReaders.h"

namespace ui {

constexpr int kStyleDocumentId = 10001;
constexpr uint32_t kDefaultTextMode = 0x28;  // single line, bottom-aligned, left
constexpr COLORREF kDefaultDisabledText = 0xCCCCCC;
constexpr COLORREF kDefaultShadow = 0x010101;
constexpr int kDefaultLineSpacing = 20;
constexpr int kOpaqueAlpha = 255;
constexpr int kDefaultTextAlpha = 254;
constexpr int kArrowCursor = 32512;
constexpr int kHandCursor = 32649;

class LxStyle : public CLxObject {
public:
    const char* GetObjectClass() const override { return "class"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;

    std::string name;
    std::string skin;
    COLORREF crbg = kNoColor;
    COLORREF crbgHover = kNoColor;
    COLORREF crText = kNoColor;
    COLORREF crHover = kNoColor;
    COLORREF crDisabled = kDefaultDisabledText;
    COLORREF crPush = kNoColor;
    uint32_t textMode = kDefaultTextMode;
    uint32_t textModeEx = 0;
    uint16_t font = 0;
    uint16_t hoverFont = 0;
    uint16_t pushFont = 0;
    int xMargin = 0;
    int yMargin = 0;
    int spacing = 0;
    int lineSpacing = kDefaultLineSpacing;
    int shadow = 0;
    COLORREF crShadow = kDefaultShadow;
    int gdiPlus = 0;
    int gdiPlusCalcText = 0;
    int bgGdiPlus = 0;
    int alphaBg = kOpaqueAlpha;
    int alphaText = kDefaultTextAlpha;
    int textRenderingHint = 0;
    int yaheiResizeDisable = 0;
    int cursor = kArrowCursor;
};

class LxStylePool {
public:
    static LxStylePool& Global();

    // Adds the classes of one document; a name already present keeps its
    // first definition. False (pool unchanged) when the text does not parse
    // or its root is not "style".
    bool LoadDocument(std::string_view xml);
    // The named style; the empty-named one (made on first use) when the pool
    // has no style of that name.
    const LxStyle& GetStyle(std::string_view name);
    bool Has(std::string_view name) const { return styles_.count(name) != 0; }
    void Clear() { styles_.clear(); }

private:
    std::map<std::string, std::unique_ptr<LxStyle>, std::less<>> styles_;
};

// Loads every source of document `id` into the process-wide style pool.
bool LoadStyles(int id = kStyleDocumentId);

}  // namespace ui
