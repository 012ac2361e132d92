// Configuration entries of the install manifest's file items: the common base,
// the service entry, and the decoding of the manifest's names and item paths.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace base {
class XmlConfigDocument;
}

namespace manifest {


// Decodes UTF-8 restricted to one- to three-byte sequences. Decoding ends,
// keeping what was decoded so far, at a byte that cannot start such a sequence
// (a continuation byte, a four-byte lead), at a sequence cut off by the end of
// the text, and at a decoded zero character (which the platform would take as
// the end of a path, silently shortening it).
std::wstring DecodeUtf8Bmp(std::string_view bytes);

// Mode names of the entries, as the manifest spells them.
constexpr wchar_t kShortcutMode[] = L"shortcut";
constexpr wchar_t kStartMenuMode[] = L"startmenu";
constexpr wchar_t kServiceMode[] = L"service";
// Only under the main-program item; handled by the item itself, not by an entry.
constexpr wchar_t kRegMode[] = L"reg";

// One configuration entry of a file item. The entry performs its removal in
// Execute, which runs as the manifest is loaded.
class CInstallInfo {
public:
    explicit CInstallInfo(std::wstring path) : path_(std::move(path)) {}
    virtual ~CInstallInfo() = default;
    CInstallInfo(const CInstallInfo&) = delete;
    CInstallInfo& operator=(const CInstallInfo&) = delete;

    // Reads the entry's attributes from the element under the cursor and
    // carries out the removal at once.
    virtual int Execute(const base::XmlConfigDocument& element) = 0;
    virtual const char* GetModeName() const = 0;

    // Full path of the file item that owns the entry.
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// "service": stops and deletes the service named by the entry; the owning
// file is the service's executable.
class CServiceinfo : public CInstallInfo {
public:
    using CInstallInfo::CInstallInfo;

    // 0 when the entry has no "name"; otherwise 1, whatever the service
    // control manager answered (a service already gone is no failure here).
    int Execute(const base::XmlConfigDocument& element) override;
    const char* GetModeName() const override { return "service"; }
};

}  // namespace manifest
