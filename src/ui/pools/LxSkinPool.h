// The skin pool: named images with slicing rules, from the skin document
// (root "skins"; one element per skin, its tag the kind, "name" the key).
// "png" and "jpg" skins draw; the other kinds keep their attributes and draw
// nothing.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/LxObject.h"
#include "ui/pools/LxImagePool.h"

namespace ui {

constexpr int kSkinDocumentId = 10000;

// Which slice of an image a state index selects.
struct LxSlice {
    int count = 1;    // slices in the image
    int index = 0;    // state index modulo count (-1 and below: 0)
    int width = 0;    // image width / count
    int sourceX = 0;  // left + index * width
};
LxSlice ComputeSlice(int imageWidth, int subwidth, int left, int state);

// One piece of a nine-grid: a source rectangle drawn into a destination.
struct LxBlit {
    RECT src;
    RECT dst;
};
struct LxMargins {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    bool IsZero() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
};
// The pieces that draw `src` into `dst` as a nine-grid: corners keep their
// size, edges stretch along one direction, the middle stretches (or is tiled).
// Source margins are in image pixels, destination margins in device pixels;
// margins wider than either rectangle are cut to fit. All margins zero:
// one piece, the whole source stretched.
std::vector<LxBlit> NineGrid(const RECT& src, const RECT& dst, const LxMargins& srcMargins,
                             const LxMargins& dstMargins, bool tileMiddle);

// Rotates and mirrors an image like the platform's rotate/flip modes 1 to 7
// (1 to 3: 90, 180, 270 degrees clockwise; 4: mirrored left to right; 5 to 7:
// rotated, then mirrored).
std::unique_ptr<LxImage> RotateFlip(const LxImage& image, int type);

class CLxSkinBase : public CLxObject {
public:
    const std::string& Name() const { return name_; }
    // Draws slice `state` (taken modulo the slices) into rect with constant
    // alpha 0..255; `scaled` applies the display factor to margins.
    virtual void Draw(HDC dc, const RECT& rect, int state, BYTE alpha, bool scaled = false);
    // One slice: slice width and image height (0 by 0 without an image).
    virtual SIZE GetSkinSize() { return {0, 0}; }
    virtual SIZE GetImageSize() { return {0, 0}; }
    // True when the skin has no state slices.
    virtual bool IgnoreState() { return true; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;

protected:
    std::string name_;
};

// Image skins ("png", "jpg"): an image resource cut into state slices.
class CLxBitmapSkin : public CLxSkinBase {
public:
    void Draw(HDC dc, const RECT& rect, int state, BYTE alpha, bool scaled = false) override;
    // The same with nine-grid margins other than the skin's own (the
    // nine-grid image elements bring theirs).
    void DrawWithMargins(HDC dc, const RECT& rect, int state, BYTE alpha, const LxMargins& margins,
                         bool scaled = false);
    SIZE GetSkinSize() override;
    SIZE GetImageSize() override;
    bool IgnoreState() override { return subwidth_ == 0; }
    int ResourceId() const { return src_; }
    // The decoded image (flipped when asked); null when the source is missing.
    const LxImage* Image();

protected:
    explicit CLxBitmapSkin(LxImageKind kind) : kind_(kind) {}
    // Handles the image attributes; a "jpg" skin passes the subset it takes.
    HRESULT SetBitmapAttribute(std::string_view name, std::string_view value, bool jpgSubset);

    LxImageKind kind_;
    int src_ = 0;
    int subwidth_ = 0;
    int left_ = 0;
    int top_ = 0;
    LxMargins margins_;
    int middleTile_ = 0;
    int flipType_ = 0;
    int wantImageWidth_ = 0;
    int highQuality_ = 0;

private:
    std::unique_ptr<LxImage> flipped_;
    bool flipDone_ = false;
};

class CLxPngSkin : public CLxBitmapSkin {
public:
    CLxPngSkin() : CLxBitmapSkin(LxImageKind::Png) {}
    const char* GetObjectClass() const override { return "png"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
};

class CLxJpgSkin : public CLxBitmapSkin {
public:
    CLxJpgSkin() : CLxBitmapSkin(LxImageKind::Jpg) {}
    const char* GetObjectClass() const override { return "jpg"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
};

// The skin kinds this program never draws ("svg", "imglst", "imgframe",
// "button", "imghorzex", "gradation", "skinpng", "skinjpg"): their attributes
// are kept by name and they draw nothing.
class CLxInertSkin : public CLxSkinBase {
public:
    struct Kind {
        const char* tag;
        const char* className;
        std::vector<std::string_view> attributes;
    };
    static const Kind* FindKind(std::string_view tag);

    explicit CLxInertSkin(const Kind& kind) : kind_(kind) {}
    const char* GetObjectClass() const override { return kind_.tag; }
    const char* ClassName() const { return kind_.className; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    // The kept value of an attribute, empty when not given.
    std::string_view Value(std::string_view name) const;

private:
    const Kind& kind_;
    std::vector<std::pair<std::string, std::string>> values_;
};

std::unique_ptr<CLxSkinBase> CreateSkin(std::string_view tag);

class LxSkinPool {
public:
    static LxSkinPool& Global();

    // Adds the skins of one document; a name already present keeps its first
    // definition. False (pool unchanged) when the text does not parse or its
    // root is not "skins".
    bool LoadDocument(std::string_view xml);
    CLxSkinBase* GetSkin(std::string_view name) const;
    size_t Count() const { return skins_.size(); }
    void Clear() { skins_.clear(); }

private:
    std::map<std::string, std::unique_ptr<CLxSkinBase>, std::less<>> skins_;
};

// Fills the process-wide skin pool from every source of document `id`, the
// earlier sources winning name by name; the pool is emptied first (unless no
// source parses, which leaves it as it was). True when a document loaded.
bool LoadSkins(int id = kSkinDocumentId);

}  // namespace ui
