// The extra actions ("tags") that the installer queues for the uninstaller in
// "expandtask.dat": run a verified program, copy a file, refuse to go on when
// another product is installed. One group runs before the removal, one after.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace base {
class XmlConfigDocument;
}

namespace manifest {


constexpr wchar_t kExpandTaskFileName[] = L"expandtask.dat";

// Codes handed to ITag::ReportResult.
enum TagResult : int {
    kTagCopyFailed = 2,          // copyfile: the copy failed or a path was refused
    kTagExeNotStarted = 3,       // execute: the program did not start (or its path was refused)
    kTagCopySourceMissing = 4,   // copyfile: no source file
    kTagExeMissing = 5,          // execute: no program file
    kTagExeStarted = 6,          // execute: program started
    kTagCopyInvalid = 7,         // copyfile: attribute missing
    kTagCopyEmptyPath = 8,       // copyfile: source or destination text empty
    kTagProductInstalled = 9,    // avoidproduct: a listed product is installed
    kTagExeInvalid = 10,         // execute: attribute missing
    kTagExeEmptyPath = 11,       // execute: program path empty
    kTagExeDigestMismatch = 12,  // execute: MD5 digest differs (or cannot be computed)
};

// ---- Pure helpers -------------------------------------------------------------

// Both directions of the action file's byte scrambling (XOR with the key byte);
// unlike base::UnscrambleText it keeps every byte, so any text can be scrambled.
std::string ScrambleExpandTaskText(std::string_view bytes);

// True when a component (split at "\" and "/") consists only of dots, blanks,
// tabs, carriage returns and line feeds and holds two adjacent dots.
bool HasDotDotComponent(std::wstring_view path);
// The paths an action may copy from, copy to or run, after macro expansion:
// refused when 260 characters or longer, with a dot-dot component, when not a
// fully qualified drive path ("X:\..."; relative, drive-relative, UNC and
// device-namespace paths would land wherever the current directory or the
// network points), with a colon past the drive (alternate data streams), or
// naming a reserved device (CON, NUL, COM1, ...).
bool IsRefusedTagPath(std::wstring_view path);

// The "aovid" mask: hexadecimal with optional "0x", leading blanks skipped,
// stopping at the first other character; too many digits saturate at all ones.
uint32_t ParseHexMask(std::string_view text);

// ---- Actions ------------------------------------------------------------------

// Called when an action with reporting on reports its result; the program
// sets it to bring its usage-report object into being. None by default.
using TagReportHook = void (*)();
void SetTagReportHook(TagReportHook hook);

class ITag {
public:
    ITag() = default;
    ITag(const ITag&) = delete;
    ITag& operator=(const ITag&) = delete;

    // The document's cursor is the action element; returns non-zero when valid.
    virtual int Parse(base::XmlConfigDocument& doc) = 0;
    // Non-zero on success.
    virtual int Execute() = 0;
    virtual int AfterRun() = 0;
    virtual void SetContext(int32_t needreport, int32_t src, int32_t senceid);
    // With needreport set, calls the report hook; the code itself goes
    // nowhere else (it is kept for inspection).
    virtual void ReportResult(int code);
    virtual ~ITag();

    int32_t needreport() const noexcept { return needreport_; }
    int32_t src() const noexcept { return src_; }
    int32_t senceid() const noexcept { return senceid_; }
    // The last code passed to ReportResult; 0 when none was.
    int last_result() const noexcept { return last_result_; }

protected:
    int32_t needreport_ = 0;
    int32_t src_ = 0;
    int32_t senceid_ = 0;

private:
    int last_result_ = 0;
};

// "execute": runs a program whose content matches an MD5 digest.
class CRunExeTag : public ITag {
public:
    int Parse(base::XmlConfigDocument& doc) override;
    int Execute() override;
    int AfterRun() override { return 1; }

    bool valid() const noexcept { return valid_ != 0; }
    const std::wstring& param() const noexcept { return param_; }
    const std::wstring& path() const noexcept { return path_; }
    const std::wstring& md5() const noexcept { return md5_; }

private:
    int32_t valid_ = 0;
    std::wstring param_;
    std::wstring path_;
    std::wstring md5_;
};

// "copyfile": copies a file over its destination.
class CCopyFileTag : public ITag {
public:
    int Parse(base::XmlConfigDocument& doc) override;
    int Execute() override;
    int AfterRun() override { return 1; }

    const std::wstring& srcfile() const noexcept { return srcfile_; }
    const std::wstring& destfile() const noexcept { return destfile_; }
    bool valid() const noexcept { return valid_ != 0; }

private:
    std::wstring srcfile_;
    std::wstring destfile_;
    int32_t valid_ = 0;
};

// "avoidproduct": fails when any listed product is installed.
class CAvoidProductTag : public ITag {
public:
    using InstalledMaskSource = std::function<uint32_t()>;
    // The installed-product mask comes from the source (the process's own by default).
    explicit CAvoidProductTag(InstalledMaskSource installedMask = {});

    int Parse(base::XmlConfigDocument& doc) override;
    int Execute() override;
    int AfterRun() override { return 1; }

    uint32_t mask() const noexcept { return mask_; }
    bool valid() const noexcept { return valid_ != 0; }

private:
    InstalledMaskSource installed_mask_;
    uint32_t mask_ = 0;
    int32_t valid_ = 0;
};

// The action an element name stands for ("execute", "copyfile",
// "avoidproduct", any case); null for every other name.
std::unique_ptr<ITag> CreateTag(const std::wstring& name);

// ---- The list -----------------------------------------------------------------

class ExpandTaskList {
public:
    // The process's list, created on the first call (safe against concurrent
    // first calls) and destroyed at process exit.
    static ExpandTaskList& Instance();

    ExpandTaskList();
    // Still-queued actions get their AfterRun and are deleted.
    ~ExpandTaskList();
    ExpandTaskList(const ExpandTaskList&) = delete;
    ExpandTaskList& operator=(const ExpandTaskList&) = delete;

    // Reads the scrambled action file; true when an "after" group was loaded.
    bool Load(const std::wstring& path);
    // The same from the plain XML text. Elements built before a parse error
    // are used.
    bool LoadText(std::string_view text);

    // The before-group; the result of the last action run, 1 when none ran.
    int RunBefore();
    // The after-group; 0 when not loaded, else the result of the last action
    // run, 1 when none ran.
    int RunAfter();

    bool loaded() const noexcept { return loaded_ != 0; }
    int32_t needbeforecondition() const noexcept { return needbeforecondition_; }
    int32_t stop_flag() const noexcept { return stop_; }
    int32_t needreport() const noexcept { return needreport_; }
    int32_t src() const noexcept { return src_; }
    int32_t senceid() const noexcept { return senceid_; }
    size_t before_count() const noexcept { return before_.size(); }
    size_t after_count() const noexcept { return after_.size(); }
    // Queued actions, front first (for inspection).
    const ITag* before_at(size_t index) const { return before_.at(index).get(); }
    const ITag* after_at(size_t index) const { return after_.at(index).get(); }

private:
    using Queue = std::deque<std::unique_ptr<ITag>>;
    // The cursor is the group element; it is back there afterwards.
    void FillQueue(base::XmlConfigDocument& doc, Queue& queue);

    Queue before_;
    Queue after_;
    std::mutex lock_;
    int32_t loaded_ = 0;
    int32_t needbeforecondition_ = 0;
    int32_t stop_ = 0;
    int32_t needreport_ = 0;
    int32_t src_ = 0;
    int32_t senceid_ = 0;
};

}  // namespace manifest
