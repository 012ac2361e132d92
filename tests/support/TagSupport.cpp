#include "support/TagSupport.h"

#include "base/XmlConfigDocument.h"
#include "base/text.h"

namespace testing_support {

std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml) {
    base::XmlConfigDocument doc;
    if (!doc.LoadText(xml) || !doc.SelectPath(nullptr)) return nullptr;
    std::unique_ptr<manifest::ITag> tag = manifest::CreateTag(base::Utf8ToWide(doc.CursorName()));
    if (tag) tag->Parse(doc);
    return tag;
}

}  // namespace testing_support
