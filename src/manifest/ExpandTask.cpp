#include "manifest/ExpandTask.h"

#include <array>
#include <utility>
#include <vector>

#include "base/XmlConfigDocument.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/Md5.h"
#include "manifest/Settings.h"
#include "removal/Paths.h"
#include "tinyxml.h"

namespace manifest {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr size_t kUtf8BomBytes = 3;
constexpr int kHexRadix = 16;

constexpr char kBeforeGroup[] = "before";
constexpr char kAfterGroup[] = "after";

// Device names the platform resolves in any directory, with or without an extension.
constexpr std::array<const wchar_t*, 24> kReservedDeviceNames = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3",   L"COM4",   L"COM5", L"COM6", L"COM7", L"COM8",
    L"COM9", L"LPT1", L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6",   L"LPT7",   L"LPT8", L"LPT9", L"CONIN$", L"CONOUT$"};


bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

template <typename Visit>
void ForEachComponent(std::wstring_view path, Visit visit) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (visit(path.substr(start, end - start))) return;
        start = end + 1;
    }
}

bool IsDotDotComponent(std::wstring_view component) {
    for (const wchar_t c : component) {
        if (c != L'.' && c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') return false;
    }
    return component.find(L"..") != std::wstring_view::npos;
}

bool IsReservedDeviceComponent(std::wstring_view component) {
    // The platform ignores an extension and trailing blanks after a device name.
    std::wstring_view base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (const wchar_t* name : kReservedDeviceNames) {
        if (base::EqualsNoCase(base, name)) return true;
    }
    return false;
}

// Parses the text as UTF-8 XML into `doc`, keeping whatever the parser built
// before an error: the partial tree is written out again and read back.
void LoadLeniently(base::XmlConfigDocument& doc, std::string_view text) {
    std::string plain(text.substr(0, text.find('\0')));
    if (plain.compare(0, kUtf8BomBytes, kUtf8Bom) == 0) plain.erase(0, kUtf8BomBytes);
    if (plain.empty()) return;
    TiXmlDocument parsed;
    if (!base::ParseXmlText(parsed, plain, base::XmlEncoding::Utf8)) return;  // refused: as if no root was built
    std::string source;
    if (!parsed.Error()) {
        source = std::move(plain);
    } else {
        TiXmlPrinter printer;
        printer.SetStreamPrinting();
        parsed.Accept(&printer);
        source = printer.Str();
    }
    // The mark keeps the second reading in UTF-8 whatever the text declares.
    doc.LoadText(std::string(kUtf8Bom) + source);
}

}  // namespace

// ---- Pure helpers -------------------------------------------------------------

std::string ScrambleExpandTaskText(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ base::kScrambleKey);
    return out;
}

bool HasDotDotComponent(std::wstring_view path) {
    bool found = false;
    ForEachComponent(path, [&](std::wstring_view component) { return found = IsDotDotComponent(component); });
    return found;
}

bool IsRefusedTagPath(std::wstring_view path) {
    if (path.size() >= base::kMaxPathChars) return true;
    if (HasDotDotComponent(path)) return true;
    const bool driveQualified = path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' &&
                                IsSeparator(path[2]);
    if (!driveQualified) return true;
    if (path.find(L':', 2) != std::wstring_view::npos) return true;
    bool reserved = false;
    ForEachComponent(path.substr(3), [&](std::wstring_view component) {
        return reserved = IsReservedDeviceComponent(component);
    });
    return reserved;
}

uint32_t ParseHexMask(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        value = value * kHexRadix + static_cast<uint64_t>(digit);
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

// ---- ITag -----------------------------------------------------------------------

ITag::~ITag() = default;

void ITag::SetContext(int32_t needreport, int32_t src, int32_t senceid) {
    needreport_ = needreport;
    src_ = src;
    senceid_ = senceid;
}

namespace {
TagReportHook g_reportHook = nullptr;
}  // namespace

void SetTagReportHook(TagReportHook hook) { g_reportHook = hook; }

void ITag::ReportResult(int code) {
    last_result_ = code;
    // No record format exists for action results; the hook only brings the
    // report object (and with it the install time) into being early.
    if (needreport_ != 0 && g_reportHook != nullptr) g_reportHook();
}

// ---- CRunExeTag -------------------------------------------------------------------

int CRunExeTag::Parse(base::XmlConfigDocument& doc) {
    param_.clear();
    doc.GetWideAttribute("param", param_);
    const bool hasPath = doc.GetWideAttribute("path", path_);
    const bool hasMd5 = doc.GetWideAttribute("md5", md5_);
    valid_ = (hasPath && hasMd5) ? 1 : 0;
    return valid_;
}

int CRunExeTag::Execute() {
    if (!valid_) {
        ReportResult(kTagExeInvalid);
        return 0;
    }
    if (path_.empty()) {
        ReportResult(kTagExeEmptyPath);
        return 0;
    }
    removal::ExpandPathMacros(path_);
    if (!base::FileIsPresent(path_)) {
        ReportResult(kTagExeMissing);
        return 0;
    }
    if (IsRefusedTagPath(path_)) {
        ReportResult(kTagExeNotStarted);
        return 0;
    }
    // Held without write or delete sharing until the process exists, so the
    // file that was verified is the file that runs.
    base::unique_hfile program(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string digest = program ? Md5HexOfFile(program.get()) : std::string();
    // A digest that cannot be computed verifies nothing, whatever the action expects.
    if (digest.empty() || !base::EqualsNoCase(base::Utf8ToWide(digest), md5_)) {
        ReportResult(kTagExeDigestMismatch);
        return 0;
    }
    base::ProcessStart how;
    // The verified path also as application name: no search, no ".exe" appended.
    how.application = path_.c_str();
    const bool started = static_cast<bool>(base::StartProcess(L"\"" + path_ + L"\" " + param_, how));
    ReportResult(started ? kTagExeStarted : kTagExeNotStarted);
    return started ? 1 : 0;
}

// ---- CCopyFileTag -------------------------------------------------------------------

int CCopyFileTag::Parse(base::XmlConfigDocument& doc) {
    const bool hasSource = doc.GetWideAttribute("srcfile", srcfile_);
    const bool hasDestination = doc.GetWideAttribute("destfile", destfile_);
    valid_ = (hasSource && hasDestination) ? 1 : 0;
    return valid_;
}

int CCopyFileTag::Execute() {
    if (!valid_) {
        ReportResult(kTagCopyInvalid);
        return 0;
    }
    if (srcfile_.empty() || destfile_.empty()) {
        ReportResult(kTagCopyEmptyPath);
        return 0;
    }
    removal::ExpandPathMacros(srcfile_);
    removal::ExpandPathMacros(destfile_);
    if (!base::FileIsPresent(srcfile_)) {
        ReportResult(kTagCopySourceMissing);
        return 0;
    }
    if (IsRefusedTagPath(srcfile_) || IsRefusedTagPath(destfile_) ||
        !::CopyFileW(srcfile_.c_str(), destfile_.c_str(), FALSE)) {
        ReportResult(kTagCopyFailed);
        return 0;
    }
    return 1;
}

// ---- CAvoidProductTag ---------------------------------------------------------------

CAvoidProductTag::CAvoidProductTag(InstalledMaskSource installedMask) : installed_mask_(std::move(installedMask)) {}

int CAvoidProductTag::Parse(base::XmlConfigDocument& doc) {
    std::string text;
    valid_ = doc.GetRawAttribute("aovid", text) ? 1 : 0;
    if (valid_) mask_ = ParseHexMask(text);
    return valid_;
}

int CAvoidProductTag::Execute() {
    const uint32_t installed = installed_mask_ ? installed_mask_() : InstalledProductMask();
    if ((mask_ & installed) != 0) {
        ReportResult(kTagProductInstalled);
        return 0;
    }
    return 1;
}

std::unique_ptr<ITag> CreateTag(const std::wstring& name) {
    if (base::EqualsNoCase(name, L"execute")) return std::make_unique<CRunExeTag>();
    if (base::EqualsNoCase(name, L"copyfile")) return std::make_unique<CCopyFileTag>();
    if (base::EqualsNoCase(name, L"avoidproduct")) return std::make_unique<CAvoidProductTag>();
    return nullptr;
}

// ---- ExpandTaskList -------------------------------------------------------------------

ExpandTaskList& ExpandTaskList::Instance() {
    // Created on first use and deleted at exit.
    static ExpandTaskList list;
    return list;
}

ExpandTaskList::ExpandTaskList() = default;

ExpandTaskList::~ExpandTaskList() {
    for (Queue* queue : {&before_, &after_}) {
        for (std::unique_ptr<ITag>& tag : *queue) {
            tag->AfterRun();
            tag.reset();
        }
        queue->clear();
    }
}

bool ExpandTaskList::Load(const std::wstring& path) {
    std::string text;
    if (!base::ReadScrambledText(path, text)) text.clear();
    return LoadText(text);
}

bool ExpandTaskList::LoadText(std::string_view text) {
    base::XmlConfigDocument doc;
    LoadLeniently(doc, text);
    loaded_ = 0;
    if (!doc.SelectPath(nullptr)) return false;

    int32_t value = 0;
    needbeforecondition_ = doc.GetIntAttribute("needbeforecondition", value) ? value : 0;
    value = 0;
    needreport_ = doc.GetIntAttribute("needreport", value) ? value : 0;
    value = 0;
    src_ = doc.GetIntAttribute("src", value) ? value : 0;
    value = 0;
    senceid_ = doc.GetIntAttribute("senceid", value) ? value : 0;

    if (doc.EnterChild(kBeforeGroup)) FillQueue(doc, before_);
    // The after-group counts on its own: a file with only after-actions runs them.
    doc.SelectPath(nullptr);
    if (doc.EnterChild(kAfterGroup)) {
        FillQueue(doc, after_);
        loaded_ = 1;
    }
    return loaded_ != 0;
}

void ExpandTaskList::FillQueue(base::XmlConfigDocument& doc, Queue& queue) {
    if (!doc.EnterChild(nullptr)) return;
    do {
        const base::QUTF8ToUTF16Ex name(doc.CursorName().c_str());
        std::unique_ptr<ITag> tag = CreateTag(name.c_str());
        if (!tag) continue;
        std::lock_guard<std::mutex> guard(lock_);
        tag->Parse(doc);  // queued whatever it answered: an invalid action reports itself when run
        tag->SetContext(needreport_, src_, senceid_);
        queue.push_back(std::move(tag));
    } while (doc.NextSibling(nullptr));
    doc.LeaveToParent();
}

int ExpandTaskList::RunBefore() {
    int result = 1;
    while (!before_.empty()) {
        if (needbeforecondition_ != 0 && stop_ != 0) break;
        std::unique_ptr<ITag> tag = std::move(before_.front());
        before_.pop_front();
        result = tag->Execute();
        tag->AfterRun();
        tag.reset();
        stop_ = (result == 0) ? 1 : 0;
    }
    return result;
}

int ExpandTaskList::RunAfter() {
    if (loaded_ == 0) return 0;
    int result = 1;
    while (!after_.empty()) {
        if (needbeforecondition_ != 0 && stop_ != 0) break;
        std::unique_ptr<ITag> tag = std::move(after_.front());
        after_.pop_front();
        result = tag->Execute();
        tag->AfterRun();
        tag.reset();
        // Kept as the installer's lists expect: here the flag follows the result,
        // so with the condition set the group ends after its first success.
        stop_ = result;
    }
    return result;
}

}  // namespace manifest
