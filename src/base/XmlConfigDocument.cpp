#include "base/XmlConfigDocument.h"

#include <windows.h>

#include <cstring>

#include "base/unique_any.h"
#include "tinyxml.h"

namespace base {

namespace {
constexpr size_t kScrambledTerminatorBytes = 2;
}  // namespace

bool ParseXmlText(TiXmlDocument& doc, std::string_view text, base::XmlEncoding encoding) {
    const std::string_view plain = text.substr(0, text.find('\0'));
    if (plain.empty() || !base::IsXmlDepthAllowed(plain, encoding)) return false;
    const std::string input = base::XmlParserInput(plain);
    doc.Parse(input.c_str(), nullptr,
              encoding == base::XmlEncoding::Utf8 ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
    return true;
}

QUTF8ToUTF16Ex::QUTF8ToUTF16Ex(const char* utf8) {
    if (utf8 == nullptr) return;
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (needed <= 0) {
        result_ = inline_;  // unconvertible input reads as an empty string
        return;
    }
    wchar_t* target = inline_;
    if (static_cast<size_t>(needed) > kInlineChars) {
        heap_.reset(new wchar_t[static_cast<size_t>(needed)]);
        target = heap_.get();
    }
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, target, needed);
    result_ = target;
}

std::vector<std::string> SplitConfigPath(std::string_view path) {
    std::vector<std::string> segments;
    size_t pos = 0;
    while (pos < path.size()) {
        const size_t end = path.find_first_of("\\/", pos);
        const size_t stop = (end == std::string_view::npos) ? path.size() : end;
        if (stop == pos) break;  // empty segment ends the split
        segments.emplace_back(path.substr(pos, stop - pos));
        pos = (end == std::string_view::npos) ? path.size() : end + 1;
    }
    return segments;
}

XmlConfigDocument::XmlConfigDocument() = default;
XmlConfigDocument::~XmlConfigDocument() = default;

bool ReadConfigFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxConfigFileBytes) {
        return false;
    }
    const DWORD length = static_cast<DWORD>(size.QuadPart);
    bytes.resize(length);
    DWORD read = 0;
    // A file cut short while it is read is not the file that was measured.
    if (length > 0 && (!::ReadFile(file.get(), bytes.data(), length, &read, nullptr) || read != length)) {
        bytes.clear();
        return false;
    }
    return true;
}

bool XmlConfigDocument::LoadFile(const std::wstring& path) {
    doc_.reset();
    cursor_ = nullptr;
    std::string bytes;
    return ReadConfigFile(path, bytes) && LoadText(bytes);
}

bool XmlConfigDocument::LoadText(std::string_view bytes) {
    doc_.reset();
    cursor_ = nullptr;
    auto doc = std::make_unique<TiXmlDocument>();
    if (!ParseXmlText(*doc, bytes, base::XmlEncoding::Detect) || doc->Error()) return false;
    doc_ = std::move(doc);
    return true;
}

bool XmlConfigDocument::SelectPath(const char* path) {
    cursor_ = nullptr;
    if (!doc_) return false;
    TiXmlElement* root = doc_->RootElement();
    if (path == nullptr || *path == '\0') {
        cursor_ = root;
        return cursor_ != nullptr;
    }
    const std::vector<std::string> segments = SplitConfigPath(path);
    if (segments.empty() || root == nullptr) return false;
    if (segments.front() != root->Value()) return false;
    TiXmlElement* node = root;
    for (size_t i = 1; i < segments.size(); ++i) {
        node = node->FirstChildElement(segments[i].c_str());
        if (node == nullptr) return false;
    }
    cursor_ = node;
    return true;
}

bool XmlConfigDocument::EnterConfig() {
    if (cursor_ == nullptr) return false;
    cursor_ = cursor_->FirstChildElement("config");
    return cursor_ != nullptr;
}

bool XmlConfigDocument::EnterChild(const char* name) {
    if (cursor_ == nullptr) return false;
    TiXmlElement* child = (name != nullptr && *name != '\0') ? cursor_->FirstChildElement(name)
                                                              : cursor_->FirstChildElement();
    if (child == nullptr) return false;
    cursor_ = child;
    return true;
}

bool XmlConfigDocument::NextSibling(const char* name) {
    if (cursor_ == nullptr) return false;
    TiXmlElement* next = (name != nullptr && *name != '\0') ? cursor_->NextSiblingElement(name)
                                                             : cursor_->NextSiblingElement();
    if (next == nullptr) return false;
    cursor_ = next;
    return true;
}

bool XmlConfigDocument::LeaveToParent() {
    if (cursor_ == nullptr || cursor_->Parent() == nullptr) return false;
    cursor_ = cursor_->Parent();
    return true;
}

const char* XmlConfigDocument::FindAttribute(const char* name) const {
    if (cursor_ == nullptr || name == nullptr) return nullptr;
    const TiXmlElement* element = cursor_->ToElement();
    return element ? element->Attribute(name) : nullptr;
}

bool XmlConfigDocument::GetWideAttribute(const char* name, std::wstring& out) const {
    out.clear();
    const char* value = FindAttribute(name);
    if (value == nullptr) return false;
    QUTF8ToUTF16Ex wide(value);
    out = wide.c_str();
    return true;
}

bool XmlConfigDocument::GetRawAttribute(const char* name, std::string& out) const {
    out.clear();
    const char* value = FindAttribute(name);
    if (value == nullptr) return false;
    out = value;
    return true;
}

bool XmlConfigDocument::GetIntAttribute(const char* name, int32_t& out) const {
    if (cursor_ == nullptr || name == nullptr) return false;
    const TiXmlElement* element = cursor_->ToElement();
    int value = 0;
    if (element == nullptr || element->QueryIntAttribute(name, &value) != TIXML_SUCCESS) return false;
    out = value;
    return true;
}

std::string XmlConfigDocument::CursorName() const {
    const TiXmlElement* element = cursor_ ? cursor_->ToElement() : nullptr;
    return element ? element->Value() : std::string();
}

std::string UnscrambleText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const char plain = static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleKey);
        if (plain == '\0') break;
        text.push_back(plain);
    }
    return text;
}

bool ReadScrambledText(const std::wstring& path, std::string& text) {
    text.clear();
    WIN32_FILE_ATTRIBUTE_DATA info = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return false;
    // The whole size counts: a file of 4 GiB and a few bytes is too large, not a small one.
    ULARGE_INTEGER size = {};
    size.LowPart = info.nFileSizeLow;
    size.HighPart = info.nFileSizeHigh;
    if (size.QuadPart == 0 || size.QuadPart > kMaxConfigFileBytes) return false;
    const DWORD length = size.LowPart;
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // Within the limit, size and terminator cannot wrap even a 32-bit size_t.
    std::string buffer(static_cast<size_t>(length) + kScrambledTerminatorBytes, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.data(), length, &read, nullptr) || read != length) return false;
    text = UnscrambleText(std::string_view(buffer.data(), length));
    return true;
}

}  // namespace base
