#include "support/TagSupport.h"

#include "base/text.h"
#include "manifest/XmlConfigDocument.h"

namespace testing_support {

std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml) {
    manifest::XmlConfigDocument doc;
    if (!doc.LoadText(xml) || !doc.SelectPath(nullptr)) return nullptr;
    std::unique_ptr<manifest::ITag> tag = manifest::CreateTag(base::Utf8ToWide(doc.CursorName()));
    if (tag) tag->Parse(doc);
    return tag;
}

std::string XmlAttr(const std::wstring& text) {
    std::string out;
    for (const char c : base::WideToUtf8(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace testing_support
