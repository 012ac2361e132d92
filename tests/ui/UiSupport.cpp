#include "UiSupport.h"

#include <objidl.h>
#include <gdiplus.h>

#include "base/com_ptr.h"
#include "base/text.h"
#include "ui/elements/LxNotify.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxImagePool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxSources.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace uitest {

namespace {
void ClearAll() {
    ui::LxSkinPool::Global().Clear();
    ui::LxStylePool::Global().Clear();
    ui::LxStringPool::Global().Clear();
    ui::LxImagePool::Png().Clear();
    ui::LxImagePool::Jpg().Clear();
    ui::LxFontPool::Global().Clear();
    ui::SourceHooks() = ui::LxSourceHooks();
}

bool EncoderFor(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

std::string Save(Gdiplus::Bitmap& bitmap, const wchar_t* mime) {
    CLSID clsid;
    if (!EncoderFor(mime, clsid)) return {};
    base::com_ptr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return {};
    if (bitmap.Save(stream.get(), &clsid, nullptr) != Gdiplus::Ok) return {};
    HGLOBAL memory = nullptr;
    ::GetHGlobalFromStream(stream.get(), &memory);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    const void* data = ::GlobalLock(memory);
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return bytes;
}
}  // namespace

CleanPools::CleanPools() { ClearAll(); }
CleanPools::~CleanPools() { ClearAll(); }

std::vector<uint32_t> Bands(const std::vector<uint32_t>& colors, int bandWidth, int height) {
    const int width = bandWidth * static_cast<int>(colors.size());
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y * width + x)] = colors[static_cast<size_t>(x / bandWidth)];
        }
    }
    return pixels;
}

std::string EncodeImage(const std::vector<uint32_t>& argb, int width, int height, bool jpeg) {
    ui::EnsureGdiplus();
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB,
                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(argb.data())));
    return Save(bitmap, jpeg ? L"image/jpeg" : L"image/png");
}

bool SaveDibPng(const ui::LxDib& dib, const std::wstring& path) {
    ui::EnsureGdiplus();
    ::GdiFlush();
    std::vector<uint32_t> opaque(static_cast<size_t>(dib.width() * dib.height()));
    for (int y = 0; y < dib.height(); ++y) {
        for (int x = 0; x < dib.width(); ++x) {
            opaque[static_cast<size_t>(y * dib.width() + x)] = dib.At(x, y) | 0xFF000000;
        }
    }
    const std::string bytes = EncodeImage(opaque, dib.width(), dib.height());
    if (bytes.empty()) return false;
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

ServedSources::ServedSources() {
    ui::SourceHooks().streamProvider = [this](int id, const wchar_t* ext, std::string& bytes) {
        const auto key = std::make_pair(id, std::wstring(ext));
        ++requests_[key];
        auto found = served_.find(key);
        if (found == served_.end()) return false;
        bytes = found->second;
        return true;
    };
}

void ServedSources::Add(int id, const std::wstring& ext, std::string bytes) {
    served_[std::make_pair(id, ext)] = std::move(bytes);
}

int ServedSources::Requests(int id, const std::wstring& ext) const {
    auto found = requests_.find(std::make_pair(id, ext));
    return found == requests_.end() ? 0 : found->second;
}

std::string ServeProgramSizedSkins(ServedSources& sources) {
    struct Sized {
        const char* name;
        int id;
        int slices;
        int sliceWidth;
        int height;
    };
    static const Sized kSkins[] = {
        {"minimize", 4, 3, 16, 16},      {"close", 3, 3, 16, 16},
        {"lite_detaildlg_closebtn", 40, 3, 16, 16}, {"lite_img_logo2", 44, 1, 68, 15},
        {"new_msgbox_icon", 43, 1, 50, 50},         {"uninstallbtn", 45, 3, 135, 50},
    };
    const std::vector<uint32_t> colors = {kRed, kGreen, kBlue};
    std::string document = "<skins>";
    for (const Sized& s : kSkins) {
        const std::vector<uint32_t> palette(colors.begin(), colors.begin() + s.slices);
        const int width = s.sliceWidth * s.slices;
        sources.Add(s.id, L"png", EncodeImage(Bands(palette, s.sliceWidth, s.height), width, s.height));
        document += "<png name=\"" + std::string(s.name) + "\" src=\"" + std::to_string(s.id) + "\"" +
                    (s.slices > 1 ? " subwidth=\"" + std::to_string(s.sliceWidth) + "\"" : std::string()) + "/>";
    }
    document += "</skins>";
    sources.Add(ui::kSkinDocumentId, L"xml", document);
    return document;
}

std::string Utf8(const std::wstring& text) { return base::WideToUtf8(text); }

std::string ProgramResource(int id) {
    std::string bytes;
    ui::ReadResourceBytes(nullptr, id, ui::kXmlResourceType, bytes);
    return bytes;
}

std::vector<std::string> RecordingHost::Notifications() const {
    std::vector<std::string> out;
    for (const HostCall& c : calls) {
        if (c.what != "notify") continue;
        out.push_back(std::to_string(c.code) + ":" + std::to_string(c.id) + (c.text.empty() ? "" : ":" + c.text));
    }
    return out;
}

int RecordingHost::Count(const std::string& what) const {
    int n = 0;
    for (const HostCall& c : calls) n += c.what == what ? 1 : 0;
    return n;
}

void RecordingHost::Notify(UINT code, int32_t id, const char* className) {
    Record("notify", static_cast<int>(code), id, className ? className : "");
}

POINT Centre(const ui::CLxWindow& element) {
    const RECT& r = element.Rect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace uitest
