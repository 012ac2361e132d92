#include "ui/pools/LxStringPool.h"

#include "base/text.h"
#include "ui/LxXml.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSources.h"

namespace ui {

namespace {
constexpr std::wstring_view kPlaceholder = L"%str";
constexpr int kDecimalBase = 10;
constexpr int kMaxStringId = 0x7FFFFFF;
}  // namespace

LxStringPool& LxStringPool::Global() {
    static LxStringPool pool;
    return pool;
}

bool LxStringPool::LoadDocument(std::string_view xml) {
    TiXmlDocument doc;
    if (!ParseXml(xml, doc) || std::string_view(doc.RootElement()->Value()) != "string") return false;
    for (const TiXmlElement* e = doc.RootElement()->FirstChildElement("s"); e; e = e->NextSiblingElement("s")) {
        if (!HasAttribute(*e, "id")) continue;
        const char* text = e->GetText();
        strings_.emplace(ReadInt(AttributeOf(*e, "id")), base::Utf8ToWide(text ? text : ""));
    }
    return true;
}

const std::wstring* LxStringPool::GetString(int id) const {
    auto found = strings_.find(id);
    return found == strings_.end() ? nullptr : &found->second;
}

bool LoadStrings(int id) {
    bool any = false;
    for (const std::string& document : CollectDocuments(id)) any = LxStringPool::Global().LoadDocument(document) || any;
    return any;
}

std::wstring SubstituteStrings(const std::wstring& text, const LxStringPool& pool) {
    std::wstring out;
    size_t at = 0;
    while (true) {
        const size_t found = text.find(kPlaceholder, at);
        if (found == std::wstring::npos) break;
        size_t i = found + kPlaceholder.size();
        int number = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            if (number < kMaxStringId) number = number * kDecimalBase + (text[i] - L'0');
        }
        if (number < 1 || i >= text.size() || text[i] != L'%') break;
        out.append(text, at, found - at);
        const std::wstring* replacement = pool.GetString(number);
        if (replacement) {
            out += *replacement;
        } else {
            out.append(text, found, i + 1 - found);
        }
        at = i + 1;
    }
    out.append(text, at, std::wstring::npos);
    return out;
}

}  // namespace ui
