#include "support/TagSupport.h"

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "support/TestSupport.h"

namespace testing_support {

std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml) {
    base::XmlConfigDocument doc;
    if (!doc.LoadText(xml) || !doc.SelectPath(nullptr)) return nullptr;
    std::unique_ptr<manifest::ITag> tag = manifest::CreateTag(base::Utf8ToWide(doc.CursorName()));
    if (tag) tag->Parse(doc);
    return tag;
}

bool WriteExpandTaskFile(const std::wstring& path, const std::string& xml) {
    return WriteBytes(path, manifest::ScrambleExpandTaskText(xml));
}

}  // namespace testing_support
