#include "ui/pools/LxFontPool.h"

#include <algorithm>
#include <cwchar>

#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
constexpr wchar_t kFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kYahei[] = L"微软雅黑";
constexpr wchar_t kYaheiLatin[] = L"Microsoft YaHei";
constexpr wchar_t kSong[] = L"宋体";
constexpr wchar_t kSongLatin[] = L"SimSun";
constexpr uint16_t kItalicBit = 0x0001;
constexpr uint16_t kUnderlineBit = 0x0002;
constexpr uint16_t kBoldBit = 0x0004;
constexpr int kSizeShift = 8;
constexpr uint32_t kScaledKeyBit = 0x80000000u;

struct FaceRule {
    const wchar_t* valueName;
    const wchar_t* face;
};
constexpr FaceRule kFaceRules[] = {
    {L"微软雅黑 (TrueType)", kYahei},
    {L"Microsoft YaHei (TrueType)", kYaheiLatin},
    {L"Microsoft YaHei (TrueType) & Microsoft YaHei UI (TrueType)", kYaheiLatin},
    {L"Microsoft YaHei & Microsoft YaHei UI (TrueType)", kYaheiLatin},
    {L"宋体 & 新宋体 (TrueType)", kSong},
    {L"SimSun & NSimSun (TrueType)", kSongLatin},
};
}  // namespace

std::wstring ChooseBaseFace(const std::function<bool(const wchar_t*)>& valueExists) {
    for (const FaceRule& rule : kFaceRules) {
        if (valueExists(rule.valueName)) return rule.face;
    }
    return kSong;
}

std::wstring ChooseBaseFaceFromRegistry(HKEY root, const wchar_t* path) {
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return kSong;
    return ChooseBaseFace([&key](const wchar_t* name) {
        return ::RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    });
}

bool IsYaheiFace(const std::wstring& face) { return face == kYahei || face == kYaheiLatin; }

BYTE FontQualityFor(const std::wstring& face) {
    return IsYaheiFace(face) ? CLEARTYPE_QUALITY : ANTIALIASED_QUALITY;
}

LOGFONTW FontForCode(const LOGFONTW& base, uint16_t code) {
    LOGFONTW font = base;
    font.lfWeight = (code & kBoldBit) ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = (code & kUnderlineBit) ? TRUE : FALSE;
    font.lfItalic = (code & kItalicBit) ? TRUE : FALSE;
    font.lfHeight = base.lfHeight - static_cast<int8_t>(code >> kSizeShift);
    return font;
}

LxFontPool& LxFontPool::Global() {
    static LxFontPool pool;
    return pool;
}

LxFontPool::LxFontPool() : base_() {
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(base_), &base_);
    base_.lfHeight = kBaseFontHeight;
    base_.lfWidth = 0;
    const std::wstring face = ChooseBaseFaceFromRegistry(HKEY_LOCAL_MACHINE, kFontsKey);
    std::fill(std::begin(base_.lfFaceName), std::end(base_.lfFaceName), L'\0');
    std::wcsncpy(base_.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    base_.lfQuality = FontQualityFor(face);
}

HFONT LxFontPool::GetFont(uint16_t code, bool scaled) {
    const uint32_t key = code | (scaled ? kScaledKeyBit : 0);
    std::lock_guard<std::mutex> guard(lock_);
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return static_cast<HFONT>(found->second.get());
    LOGFONTW font = FontForCode(base_, code);
    if (scaled) font.lfHeight = LxDisplayScaler::Instance().ScaleFont(font.lfHeight);
    base::unique_gdi_object made(::CreateFontIndirectW(&font));
    if (!made) return nullptr;  // not cached: the next use tries again
    ++created_;
    return static_cast<HFONT>(fonts_.emplace(key, std::move(made)).first->second.get());
}

void LxFontPool::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    fonts_.clear();
    created_ = 0;
}

}  // namespace ui
