#include "ui/pools/LxSkinPool.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

#include "ui/LxGdi.h"
#include "ui/LxXml.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSources.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
constexpr int kFlipAlone = 4;  // "flip" without "fliptype": mirrored left to right
constexpr int kMaxFlipType = 7;
constexpr int kQuarterTurns = 4;
constexpr BYTE kOpaque = 255;
// A tiled middle with more pieces than this is stretched instead.
constexpr size_t kMaxTiles = 4096;
constexpr float kUnitFactor = 1.0f;

int Width(const RECT& r) { return RectWidth(r); }
int Height(const RECT& r) { return RectHeight(r); }
bool IsEmptyRect(const RECT& r) { return RectIsEmpty(r); }

// Cuts a pair of margins to fit a length: the first keeps what it can.
void FitMargins(int& first, int& second, int length) {
    first = std::clamp(first, 0, std::max(length, 0));
    second = std::clamp(second, 0, std::max(length - first, 0));
}

// Splits [a, b) into (first, middle, last) bands with the given margins.
struct Bands {
    int edges[4];
};
Bands Split(int a, int b, int first, int second) { return {{a, a + first, b - second, b}}; }

void AddTiled(std::vector<LxBlit>& out, const RECT& src, const RECT& dst) {
    const int tw = Width(src);
    const int th = Height(src);
    const size_t columns = static_cast<size_t>((Width(dst) + tw - 1) / tw);
    const size_t rows = static_cast<size_t>((Height(dst) + th - 1) / th);
    if (columns * rows > kMaxTiles) {
        out.push_back({src, dst});
        return;
    }
    for (int y = dst.top; y < dst.bottom; y += th) {
        for (int x = dst.left; x < dst.right; x += tw) {
            const int w = std::min<int>(tw, dst.right - x);
            const int h = std::min<int>(th, dst.bottom - y);
            out.push_back({{src.left, src.top, src.left + w, src.top + h}, {x, y, x + w, y + h}});
        }
    }
}
}  // namespace

LxSlice ComputeSlice(int imageWidth, int subwidth, int left, int state) {
    LxSlice slice;
    imageWidth = std::max(imageWidth, 0);
    slice.count = subwidth > 0 ? std::max(imageWidth / subwidth, 1) : 1;
    slice.index = state < 0 ? 0 : state % slice.count;
    slice.width = imageWidth / slice.count;
    slice.sourceX = left + slice.index * slice.width;
    return slice;
}

std::vector<LxBlit> NineGrid(const RECT& src, const RECT& dst, const LxMargins& srcMargins,
                             const LxMargins& dstMargins, bool tileMiddle) {
    std::vector<LxBlit> out;
    if (IsEmptyRect(src) || IsEmptyRect(dst)) return out;
    if (srcMargins.IsZero() && dstMargins.IsZero()) {
        out.push_back({src, dst});
        return out;
    }
    LxMargins s = srcMargins;
    LxMargins d = dstMargins;
    FitMargins(s.left, s.right, Width(src));
    FitMargins(s.top, s.bottom, Height(src));
    FitMargins(d.left, d.right, Width(dst));
    FitMargins(d.top, d.bottom, Height(dst));
    const Bands sx = Split(src.left, src.right, s.left, s.right);
    const Bands sy = Split(src.top, src.bottom, s.top, s.bottom);
    const Bands dx = Split(dst.left, dst.right, d.left, d.right);
    const Bands dy = Split(dst.top, dst.bottom, d.top, d.bottom);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const RECT ps = {sx.edges[column], sy.edges[row], sx.edges[column + 1], sy.edges[row + 1]};
            const RECT pd = {dx.edges[column], dy.edges[row], dx.edges[column + 1], dy.edges[row + 1]};
            if (IsEmptyRect(ps) || IsEmptyRect(pd)) continue;
            if (tileMiddle && row == 1 && column == 1) {
                AddTiled(out, ps, pd);
            } else {
                out.push_back({ps, pd});
            }
        }
    }
    return out;
}

std::unique_ptr<LxImage> RotateFlip(const LxImage& image, int type) {
    const int turns = type % kQuarterTurns;
    const bool mirror = type >= kQuarterTurns;
    const int w = image.width;
    const int h = image.height;
    const bool swap = turns % 2 == 1;
    auto out = MakeImage(swap ? h : w, swap ? w : h);
    if (!out) return nullptr;
    ::GdiFlush();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int nx = x;
            int ny = y;
            switch (turns) {
                case 1: nx = h - 1 - y; ny = x; break;
                case 2: nx = w - 1 - x; ny = h - 1 - y; break;
                case 3: nx = y; ny = w - 1 - x; break;
                default: break;
            }
            if (mirror) nx = out->width - 1 - nx;
            out->pixels[static_cast<size_t>(ny) * static_cast<size_t>(out->width) + static_cast<size_t>(nx)] =
                image.pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
        }
    }
    return out;
}

void CLxSkinBase::Draw(HDC, const RECT&, int, BYTE, bool) {}

HRESULT CLxSkinBase::SetAttribute(std::string_view name, std::string_view value, bool) {
    if (name != "name") return kUnknownAttribute;
    name_ = value;
    return S_OK;
}

HRESULT CLxBitmapSkin::SetBitmapAttribute(std::string_view name, std::string_view value, bool jpgSubset) {
    using A = LxAttribute<CLxBitmapSkin>;
    static const A kJpgTable[] = {
        {"src", [](CLxBitmapSkin& s, std::string_view v, bool) { s.src_ = ReadInt(v); }},
        {"subwidth", [](CLxBitmapSkin& s, std::string_view v, bool) { s.subwidth_ = std::max(ReadInt(v), 0); }},
        {"left", [](CLxBitmapSkin& s, std::string_view v, bool) { s.left_ = std::max(ReadInt(v), 0); }},
        {"top", [](CLxBitmapSkin& s, std::string_view v, bool) { s.top_ = std::max(ReadInt(v), 0); }},
        {"margin_left", [](CLxBitmapSkin& s, std::string_view v, bool) { s.margins_.left = ReadInt(v); }},
        {"margin_right", [](CLxBitmapSkin& s, std::string_view v, bool) { s.margins_.right = ReadInt(v); }},
    };
    static const A kPngTable[] = {
        {"margin_top", [](CLxBitmapSkin& s, std::string_view v, bool) { s.margins_.top = ReadInt(v); }},
        {"margin_bottom", [](CLxBitmapSkin& s, std::string_view v, bool) { s.margins_.bottom = ReadInt(v); }},
        {"middle_tile", [](CLxBitmapSkin& s, std::string_view v, bool) { s.middleTile_ = ReadInt(v); }},
        {"flip", [](CLxBitmapSkin& s, std::string_view v, bool) {
             if (ReadInt(v) != 0 && s.flipType_ == 0) s.flipType_ = kFlipAlone;
         }},
        {"fliptype", [](CLxBitmapSkin& s, std::string_view v, bool) { s.flipType_ = ReadInt(v); }},
        {"wantimgwidth", [](CLxBitmapSkin& s, std::string_view v, bool) { s.wantImageWidth_ = ReadInt(v); }},
        {"highquality", [](CLxBitmapSkin& s, std::string_view v, bool) { s.highQuality_ = ReadInt(v); }},
    };
    if (ApplyAttribute(kJpgTable, *this, name, value, true)) return S_OK;
    if (!jpgSubset && ApplyAttribute(kPngTable, *this, name, value, true)) return S_OK;
    return CLxSkinBase::SetAttribute(name, value, true);
}

HRESULT CLxPngSkin::SetAttribute(std::string_view name, std::string_view value, bool) {
    return SetBitmapAttribute(name, value, false);
}

HRESULT CLxJpgSkin::SetAttribute(std::string_view name, std::string_view value, bool) {
    return SetBitmapAttribute(name, value, true);
}

const LxImage* CLxBitmapSkin::Image() {
    const LxImage* image = (kind_ == LxImageKind::Png ? LxImagePool::Png() : LxImagePool::Jpg()).Get(src_);
    if (!image || flipType_ <= 0 || flipType_ > kMaxFlipType) return image;
    if (!flipDone_) {
        flipped_ = RotateFlip(*image, flipType_);
        flipDone_ = true;
    }
    return flipped_ ? flipped_.get() : image;
}

SIZE CLxBitmapSkin::GetImageSize() {
    const LxImage* image = Image();
    if (!image) return {0, 0};
    if (wantImageWidth_ > 0 && image->width > 0) {
        const double factor = static_cast<double>(wantImageWidth_) / image->width;
        return {wantImageWidth_, static_cast<LONG>(image->height * factor)};
    }
    return {image->width, image->height};
}

SIZE CLxBitmapSkin::GetSkinSize() {
    const LxImage* image = Image();
    if (!image) return {0, 0};
    const LxSlice slice = ComputeSlice(image->width, subwidth_, left_, 0);
    const SIZE full = GetImageSize();
    return {full.cx / slice.count, full.cy};
}

void CLxBitmapSkin::Draw(HDC dc, const RECT& rect, int state, BYTE alpha, bool scaled) {
    DrawWithMargins(dc, rect, state, alpha, margins_, scaled);
}

void CLxBitmapSkin::DrawWithMargins(HDC dc, const RECT& rect, int state, BYTE alpha, const LxMargins& margins,
                                    bool scaled) {
    if (IsEmptyRect(rect)) return;
    const LxImage* image = Image();
    if (!image) return;
    int subwidth = subwidth_;
    int left = left_;
    int top = top_;
    LxMargins source = margins;
    LxMargins destination = margins;
    if (scaled && kind_ == LxImageKind::Png) {
        LxDisplayScaler& scaler = LxDisplayScaler::Instance();
        const float factor = scaler.GetFactor();
        const auto prescaled = factor != kUnitFactor ? scaler.FindScaledImage(src_, L"png") : std::nullopt;
        const LxImage* scaledImage = prescaled && prescaled->factor == factor
                                         ? LxImagePool::Png().GetFile(prescaled->path)
                                         : nullptr;
        // A pre-scaled image carries the factor in its pixels: slices,
        // offsets and margins grow with it and the image is drawn 1:1.
        LxMargins& grown = scaledImage ? source : destination;
        if (scaledImage) {
            image = scaledImage;
            subwidth = ScaleOffset(factor, subwidth);
            left = ScaleOffset(factor, left);
            top = ScaleOffset(factor, top);
        }
        grown = {ScaleOffset(factor, margins.left), ScaleOffset(factor, margins.right),
                 ScaleOffset(factor, margins.top), ScaleOffset(factor, margins.bottom)};
        if (scaledImage) destination = source;
    }
    if (wantImageWidth_ > 0 && image->width > 0) {
        const double f = static_cast<double>(wantImageWidth_) / image->width;
        destination = {static_cast<int>(destination.left * f), static_cast<int>(destination.right * f),
                       static_cast<int>(destination.top * f), static_cast<int>(destination.bottom * f)};
    }
    const LxSlice slice = ComputeSlice(image->width, subwidth, left, state);
    RECT src = {slice.sourceX, top, slice.sourceX + slice.width, image->height};
    src.right = std::min<LONG>(src.right, image->width);
    const std::vector<LxBlit> pieces = NineGrid(src, rect, source, destination, middleTile_ != 0);
    if (pieces.empty()) return;

    if (highQuality_ && EnsureGdiplus()) {
        Gdiplus::Bitmap bitmap(image->width, image->height, image->width * static_cast<INT>(sizeof(uint32_t)),
                               PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(image->pixels));
        Gdiplus::Graphics graphics(dc);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0},
                                        {0, 0, 0, static_cast<Gdiplus::REAL>(alpha) / kOpaque, 0}, {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attributes;
        attributes.SetColorMatrix(&matrix);
        for (const LxBlit& p : pieces) {
            graphics.DrawImage(&bitmap, Gdiplus::Rect(p.dst.left, p.dst.top, Width(p.dst), Height(p.dst)), p.src.left,
                               p.src.top, Width(p.src), Height(p.src), Gdiplus::UnitPixel, &attributes);
        }
        return;
    }
    base::unique_hdc source_dc(::CreateCompatibleDC(dc));
    if (!source_dc) return;
    SelectGuard select(source_dc.get(), image->bitmap.get());
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    for (const LxBlit& p : pieces) {
        ::GdiAlphaBlend(dc, p.dst.left, p.dst.top, Width(p.dst), Height(p.dst), source_dc.get(), p.src.left, p.src.top,
                        Width(p.src), Height(p.src), blend);
    }
}

const CLxInertSkin::Kind* CLxInertSkin::FindKind(std::string_view tag) {
    static const Kind kKinds[] = {
        {"svg", "CLxSvgSkin", {"src", "subwidth", "left", "top", "margin_left", "margin_right"}},
        {"imglst", "CLxImageSkin", {"src", "mode", "maskcolor", "subwidth", "stretch-x", "stretch-y"}},
        {"imgframe", "CLxSkinImgFrame", {"crbg", "left", "top", "part"}},
        {"button", "CLxSkinButton",
         {"bg", "border", "bgup", "bguphover", "bguppush", "bgdown", "bgdownhover", "bgdownpush", "useborder"}},
        {"imghorzex", "CLxSkinImgHorzExtend", {"left"}},
        {"gradation", "CLxSkinGradation", {"from", "to", "size", "direction"}},
        {"skinpng", "CLxNormalPngSkin", {"file", "alpha", "extern_alpha_key"}},
        {"skinjpg", "CLxNormalJPGSkin", {"file", "alpha", "extern_alpha_key"}},
    };
    for (const Kind& kind : kKinds) {
        if (tag == kind.tag) return &kind;
    }
    return nullptr;
}

HRESULT CLxInertSkin::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    if (std::find(kind_.attributes.begin(), kind_.attributes.end(), name) == kind_.attributes.end()) {
        return CLxSkinBase::SetAttribute(name, value, loading);
    }
    values_.emplace_back(name, value);
    return S_OK;
}

std::string_view CLxInertSkin::Value(std::string_view name) const {
    for (const auto& [key, value] : values_) {
        if (key == name) return value;
    }
    return {};
}

std::unique_ptr<CLxSkinBase> CreateSkin(std::string_view tag) {
    if (tag == "png") return std::make_unique<CLxPngSkin>();
    if (tag == "jpg") return std::make_unique<CLxJpgSkin>();
    if (const CLxInertSkin::Kind* kind = CLxInertSkin::FindKind(tag)) return std::make_unique<CLxInertSkin>(*kind);
    return nullptr;
}

LxSkinPool& LxSkinPool::Global() {
    static LxSkinPool pool;
    return pool;
}

bool LxSkinPool::LoadDocument(std::string_view xml) {
    TiXmlDocument doc;
    if (!ParseXml(xml, doc) || std::string_view(doc.RootElement()->Value()) != "skins") return false;
    for (const TiXmlElement* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string_view name = AttributeOf(*e, "name");
        if (name.empty() || skins_.count(name)) continue;
        std::unique_ptr<CLxSkinBase> skin = CreateSkin(e->Value());
        if (!skin) continue;
        skin->Load(*e);
        skins_.emplace(std::string(name), std::move(skin));
    }
    return true;
}

CLxSkinBase* LxSkinPool::GetSkin(std::string_view name) const {
    if (name.empty()) return nullptr;
    auto found = skins_.find(name);
    return found == skins_.end() ? nullptr : found->second.get();
}

bool LoadSkins(int id) {
    const std::vector<std::string> documents = CollectDocuments(id);
    LxSkinPool fresh;
    bool any = false;
    for (const std::string& document : documents) any = fresh.LoadDocument(document) || any;
    if (any) LxSkinPool::Global() = std::move(fresh);
    return any;
}

}  // namespace ui
