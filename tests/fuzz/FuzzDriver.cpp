// fuzz_driver.exe: feeds seeded random mutations of real files to every reader
// of outside input (FuzzTargets.h) and reports a crash or hang of the reader,
// an exception out of it, a file or key touched outside its private workspace,
// or a nesting measure that differs from the parser's tree.
//
//   fuzz_driver --corpus DIR [--findings DIR] (--seconds S | --inputs N) [--seed X] [--target NAME]
//
// DIR holds seeds/<target>/ and crashes/<target>/ (inputs that once failed,
// replayed first on each run); findings go to --findings/<target>/ (default:
// the corpus's crashes folder). The inputs run in a worker process (this
// program with --worker) that tells its progress through a shared section;
// when it dies or hangs, the driver rebuilds the input from the seed and its
// number, keeps it and starts a new worker after it. Exit code 0: no findings.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzTargets.h"
#include "base/XmlDepth.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"
#include "support/XmlTreeDepth.h"
#include "tinyxml.h"

namespace fuzz {
namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitUsage = 2;
constexpr size_t kMaxInputBytes = 256 * 1024;
constexpr DWORD kPollMs = 100;
constexpr uint64_t kHangMs = 20000;
constexpr uint64_t kMsPerSecond = 1000;
// The parser's tree of the cross-check is walked only up to this depth: deeper
// texts are refused by the readers anyway, and a deeper tree would exhaust the
// stack of the check itself.
constexpr size_t kCrossCheckDepth = 2000;
constexpr char kSentinelText[] = "keep";
constexpr size_t kDeepLevels = 50000;
constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ULL;

// ---- Options ------------------------------------------------------------------

struct Options {
    std::wstring corpus, findings, target;  // target empty: all
    uint64_t seed = 0, inputs = 0, seconds = 0;
    bool seedGiven = false;
    // Worker only: which inputs ("fixed": the regression inputs), where, until when.
    bool worker = false, fixed = false;
    std::wstring section, root, userKey;  // userKey lies below HKEY_CURRENT_USER
    uint64_t first = 0, last = 0, deadline = 0;  // deadline: a GetTickCount64 value, 0 for none
};

std::wstring WithSeparator(std::wstring dir) {
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    return dir;
}

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
    const std::pair<const wchar_t*, std::wstring*> texts[] = {
        {L"--corpus", &o.corpus}, {L"--findings", &o.findings}, {L"--target", &o.target},
        {L"--section", &o.section}, {L"--root", &o.root},         {L"--user-key", &o.userKey}};
    const std::pair<const wchar_t*, uint64_t*> numbers[] = {
        {L"--seed", &o.seed}, {L"--inputs", &o.inputs}, {L"--seconds", &o.seconds},
        {L"--first", &o.first}, {L"--last", &o.last},     {L"--deadline", &o.deadline}};
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--worker" || arg == L"--fixed") {
            (arg == L"--worker" ? o.worker : o.fixed) = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const wchar_t* value = argv[++i];
        bool known = false;
        for (const auto& [name, field] : texts) {
            if (arg != name) continue;
            *field = value;
            known = true;
        }
        for (const auto& [name, field] : numbers) {
            if (arg != name) continue;
            *field = std::wcstoull(value, nullptr, 0);
            known = true;
        }
        if (!known) return false;
        o.seedGiven = o.seedGiven || arg == L"--seed";
    }
    o.corpus = WithSeparator(o.corpus);
    o.findings = o.findings.empty() ? o.corpus + L"crashes\\" : WithSeparator(o.findings);
    return !o.corpus.empty() && (o.worker || o.inputs > 0 || o.seconds > 0);
}

// ---- Files ----------------------------------------------------------------------

// Names in a folder (only its files, or everything), sorted: the same order in every process.
std::vector<std::wstring> Names(const std::wstring& dir, bool filesOnly) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    base::unique_find find(::FindFirstFileW((dir + L"*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        const bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name != L"." && name != L".." && !(filesOnly && isDirectory)) names.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

void CreateDirectories(const std::wstring& path) {
    std::wstring full = path;
    for (wchar_t& c : full) {
        if (c == L'/') c = L'\\';
    }
    ::SHCreateDirectoryExW(nullptr, full.c_str(), nullptr);
}

// ---- Corpus and inputs ------------------------------------------------------------

struct NamedInput {
    size_t target;
    std::string name;
    std::string bytes;
};

struct Corpus {
    std::vector<size_t> targets;                 // the targets fuzzed in this run
    std::vector<std::vector<std::string>> seeds;  // by target index
    std::vector<NamedInput> fixed;               // regression inputs
};

std::string Repeat(const std::string& part, size_t times) {
    std::string out;
    out.reserve(part.size() * times);
    for (size_t i = 0; i < times; ++i) out += part;
    return out;
}

// Inputs that crashed the readers before they were mended, made here rather
// than kept as files: nesting deep enough to exhaust a stack, plainly and
// hidden from a measure that would not follow the parser's reading rules.
std::vector<NamedInput> GeneratedRegressions(size_t target) {
    return {
        {target, "deep-nesting", "<r>" + Repeat("<a>", kDeepLevels)},
        {target, "deep-nesting-behind-sequences", "\xEF\xBB\xBF<r>" + Repeat("<a>\xC3</a>", kDeepLevels)},
        {target, "deep-nesting-behind-references", "<r>" + Repeat("<a>&#</a>#1;", kDeepLevels)},
    };
}

Corpus LoadCorpus(const Options& o) {
    Corpus corpus;
    const auto& targets = Targets();
    corpus.seeds.resize(targets.size());
    for (size_t t = 0; t < targets.size(); ++t) {
        if (!o.target.empty() && base::WideToUtf8(o.target) != targets[t].name) continue;
        corpus.targets.push_back(t);
        const std::wstring name = base::Utf8ToWide(targets[t].name);
        const std::wstring seedDir = o.corpus + L"seeds\\" + name + L"\\";
        for (const std::wstring& file : Names(seedDir, true)) corpus.seeds[t].push_back(ReadBytes(seedDir + file));
        for (std::string& seed : targets[t].builtinSeeds()) corpus.seeds[t].push_back(std::move(seed));
        if (corpus.seeds[t].empty()) corpus.seeds[t].push_back(std::string());
        const std::wstring crashDir = o.corpus + L"crashes\\" + name + L"\\";
        for (const std::wstring& file : Names(crashDir, true)) {
            corpus.fixed.push_back({t, base::WideToUtf8(file), ReadBytes(crashDir + file)});
        }
        if (targets[t].xml) {
            for (NamedInput& input : GeneratedRegressions(t)) corpus.fixed.push_back(std::move(input));
        }
    }
    return corpus;
}

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    // SplitMix64: small, fast and with every seed a good sequence.
    uint64_t Next() {
        constexpr uint64_t kMix1 = 0xBF58476D1CE4E5B9ULL, kMix2 = 0x94D049BB133111EBULL;
        constexpr unsigned kShift1 = 30, kShift2 = 27, kShift3 = 31;
        uint64_t z = (state_ += kGoldenGamma);
        z = (z ^ (z >> kShift1)) * kMix1;
        z = (z ^ (z >> kShift2)) * kMix2;
        return z ^ (z >> kShift3);
    }
    size_t Below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(Next() % bound); }

private:
    uint64_t state_;
};

// Pieces that mean something to the readers: markup, references, sequence
// bytes, path forms, macros, INI syntax and numbers at the edges.
const std::vector<std::string>& Dictionary() {
    static const std::vector<std::string> tokens = {
        "<", ">", "/>", "</", "<a>", "</a>", "<!--", "-->", "<![CDATA[", "]]>", "<?xml version=\"1.0\"?>",
        "<?xml encoding=\"gbk\"?>", "?>", "<!DOCTYPE x>", "\"", "'", "=", "&", "&#", "&#x", ";", "&#x10FFFF;",
        "&#99999999999;", "&amp;", "&lt;", "\xC3", "\xE5\x9B\xBE", "\xEF\xBB\xBF", "\xF0\x9F\x98\x80", "\xFF",
        std::string(1, '\0'), "..\\", "..", "\\", "/", "%CUR_DIR%", "%TEMP%", "%APPDATA%", "C:\\", "\\\\?\\",
        "\\\\server\\share\\", "CON", "x:y", " mode=\"shortcut\"", " mode=\"startmenu\"", " mainprogram=\"1\"",
        "<item path=\"", "<config mode=\"startmenu\" dir=\"", " name=\"", " quicklaunchbar=\"1\"", "<before>",
        "<after>", "<execute path=\"", "<copyfile srcfile=\"", "<avoidproduct aovid=\"", "<product id=\"",
        "<method1><file hkey=\"HKCU\" path=\"", "<method2><path hkey=\"HKLM\" path=\"", "<item keyword=\"", "[",
        "]", "[config]", "tryno=", "\r\n", "\r", "\n", " ", "\t"};
    return tokens;
}

// Numbers at the edges of what the readers convert.
const std::vector<std::string>& Numbers() {
    static const std::vector<std::string> numbers = {"0",           "-1",          "4294967295",          "4294967296",
                                                     "2147483648",  "-2147483649", "99999999999999999999", "0x",
                                                     "0xffffffff", "33",          "-0"};
    return numbers;
}

void Mutate(std::string& s, Rng& rng, const std::vector<std::string>& seeds) {
    constexpr size_t kOperators = 11;
    constexpr size_t kMaxChunk = 64;
    constexpr size_t kMaxRepeatedChunk = 8;
    constexpr size_t kMaxRepeats = 400;
    constexpr size_t kMaxInsertedBytes = 4;
    constexpr unsigned kBitsPerByte = 8;
    constexpr size_t kByteValues = 256;
    const auto& dictionary = Dictionary();
    const size_t at = rng.Below(s.size() + 1);
    const size_t length = std::min(s.size() - at, 1 + rng.Below(kMaxChunk));
    switch (rng.Below(kOperators)) {
    case 0:  // flip a bit
        if (!s.empty()) s[rng.Below(s.size())] ^= static_cast<char>(1u << rng.Below(kBitsPerByte));
        break;
    case 1:  // any byte
        if (!s.empty()) s[rng.Below(s.size())] = static_cast<char>(rng.Below(kByteValues));
        break;
    case 2:  // insert bytes
        s.insert(at, std::string(1 + rng.Below(kMaxInsertedBytes), static_cast<char>(rng.Below(kByteValues))));
        break;
    case 3:  // delete a range
        s.erase(at, length);
        break;
    case 4:  // copy a range elsewhere
        s.insert(rng.Below(s.size() + 1), s.substr(at, length));
        break;
    case 5:  // insert a token
        s.insert(at, dictionary[rng.Below(dictionary.size())]);
        break;
    case 6:  // replace a range by a token
        s.replace(at, length, dictionary[rng.Below(dictionary.size())]);
        break;
    case 7: {  // splice with another seed
        const std::string& other = seeds[rng.Below(seeds.size())];
        const size_t from = rng.Below(other.size() + 1);
        s = s.substr(0, at) + other.substr(from);
        break;
    }
    case 8:  // cut the end
        s.resize(at);
        break;
    case 9:  // repeat a short range many times (nesting, long lines)
        s.insert(at, Repeat(s.substr(at, std::min(length, kMaxRepeatedChunk)), 2 + rng.Below(kMaxRepeats)));
        break;
    default:  // a run of digits becomes another number
        if (const size_t digit = s.find_first_of("0123456789", at); digit != std::string::npos) {
            const size_t end = s.find_first_not_of("0123456789", digit);
            const size_t digits = (end == std::string::npos ? s.size() : end) - digit;
            s.replace(digit, digits, Numbers()[rng.Below(Numbers().size())]);
        }
        break;
    }
    if (s.size() > kMaxInputBytes) s.resize(kMaxInputBytes);
}

// Input number `index` of the run with `seed`: the same in every process.
NamedInput MakeInput(const Corpus& corpus, uint64_t seed, uint64_t index) {
    constexpr size_t kUsualMutations = 6;
    constexpr size_t kManyMutations = 32;
    constexpr size_t kManyEvery = 16;
    Rng rng(seed ^ (index * kGoldenGamma));
    const size_t target = corpus.targets[rng.Below(corpus.targets.size())];
    const auto& seeds = corpus.seeds[target];
    NamedInput input{target, "s" + std::to_string(seed) + "-i" + std::to_string(index),
                     seeds[rng.Below(seeds.size())]};
    const size_t mutations = 1 + rng.Below(rng.Below(kManyEvery) == 0 ? kManyMutations : kUsualMutations);
    for (size_t i = 0; i < mutations; ++i) Mutate(input.bytes, rng, seeds);
    return input;
}

// ---- Shared progress ------------------------------------------------------------

struct Progress {
    volatile LONG64 current;    // the input being run
    volatile LONG64 completed;  // inputs done since the worker started
    volatile LONG finished;     // the worker reached its end
    volatile LONG findings;     // found inside the worker
};

// ---- Workspace ------------------------------------------------------------------

constexpr const wchar_t* kRootEntries[] = {L"app", L"app2", L"desk", L"keep.txt", L"outside", L"progs"};
constexpr const wchar_t* kSentinels[] = {L"keep.txt", L"app2\\keep.txt", L"outside\\keep.txt"};
constexpr wchar_t kUserRootPrefix[] = L"Software\\UninstFuzz_";

Workspace WorkspaceAt(const std::wstring& root) {
    Workspace ws;
    ws.root = root;
    ws.install = root + L"app\\";
    ws.desktop = root + L"desk\\";
    ws.programs = root + L"progs\\";
    return ws;
}

void LayDownSentinels(const std::wstring& root) {
    for (const wchar_t* entry : kRootEntries) {
        if (std::wstring(entry).find(L'.') == std::wstring::npos) ::CreateDirectoryW((root + entry).c_str(), nullptr);
    }
    for (const wchar_t* sentinel : kSentinels) WriteBytes(root + sentinel, kSentinelText);
}

// Nothing around the installation directory and the shell folders changed.
bool SentinelsIntact(const std::wstring& root) {
    if (Names(root, false) != std::vector<std::wstring>(std::begin(kRootEntries), std::end(kRootEntries))) return false;
    for (const wchar_t* dir : {L"app2\\", L"outside\\"}) {
        if (Names(root + dir, false) != std::vector<std::wstring>{L"keep.txt"}) return false;
    }
    for (const wchar_t* sentinel : kSentinels) {
        if (ReadBytes(root + sentinel) != kSentinelText) return false;
    }
    return true;
}

// ---- The world outside the workspace ------------------------------------------

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? std::wstring(path)
                                                                                           : std::wstring();
}

void ListInto(const std::wstring& dir, int levels, const std::wstring& skip, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data = {};
    base::unique_find find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        const std::wstring path = dir + L"\\" + name;
        if (name == L"." || name == L".." || base::EqualsNoCase(path, skip)) continue;
        // Folders by name (the system writes into some of them on its own), files also by size and time.
        const bool isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back(isDir ? path + L"\\" : path + L" " + std::to_wstring(data.nFileSizeLow) + L" " +
                                                std::to_wstring(data.ftLastWriteTime.dwLowDateTime));
        if (isDir && levels > 1 && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ListInto(path, levels - 1, skip, out);
        }
    } while (::FindNextFileW(find.get(), &data));
}

void ListKeys(HKEY root, const wchar_t* path, const std::wstring& skip, std::vector<std::wstring>& out) {
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        if (::RegEnumKeyExW(key.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring full = std::wstring(path) + L"\\" + name;
        if (!base::EqualsNoCase(full, skip)) out.push_back(full);
    }
}

bool IsInWorkspace(const std::wstring& path, const std::wstring& workspaceRoot) {
    return base::ToLowerInvariant(path).find(base::ToLowerInvariant(workspaceRoot)) != std::wstring::npos;
}

// What a reader could reach by mistake: the program's own folder, the
// temporary folder, the drive, the shell folders, the software keys and the
// restart deletions. The workspace itself is left out.
std::vector<std::wstring> Snapshot(const std::wstring& workspaceRoot, const std::wstring& userRoot) {
    std::vector<std::wstring> out;
    const std::wstring skip = workspaceRoot.substr(0, workspaceRoot.size() - 1);
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring bin = module;
    bin.resize(bin.find_last_of(L'\\'));
    ListInto(bin, 2, skip, out);
    ListInto(skip.substr(0, skip.find_last_of(L'\\')), 1, skip, out);
    ListInto(L"C:", 1, skip, out);
    for (const int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS,
                            CSIDL_PROGRAMS, CSIDL_APPDATA}) {
        ListInto(KnownFolder(csidl), 3, skip, out);
    }
    ListKeys(HKEY_CURRENT_USER, L"Software", userRoot, out);
    ListKeys(HKEY_LOCAL_MACHINE, L"Software", userRoot, out);
    // A file the removal cannot delete is moved aside and registered for the
    // next restart: the workspace's own entries are no business of the world's.
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        if (!entry.empty() && !IsInWorkspace(entry, workspaceRoot)) out.push_back(L"pending rename " + entry);
    }
    return out;
}

// ---- Worker -----------------------------------------------------------------------

void SaveFinding(const Options& o, const NamedInput& input, const char* kind) {
    const std::wstring dir = o.findings + base::Utf8ToWide(Targets()[input.target].name) + L"\\";
    CreateDirectories(dir);
    const std::wstring file = dir + base::Utf8ToWide(std::string(kind) + "-" + input.name + ".bin");
    WriteBytes(file, input.bytes);
    std::printf("finding: %s in %s, input %s kept as %s\n", kind, Targets()[input.target].name, input.name.c_str(),
                base::WideToUtf8(file).c_str());
    std::fflush(stdout);
}

// The nesting measure agrees with the parser's own tree, both ways of asking.
bool DepthMeasureAgrees(const std::string& text) {
    for (const base::XmlEncoding encoding : {base::XmlEncoding::Detect, base::XmlEncoding::Utf8}) {
        const size_t measured = base::MeasureXmlDepth(text, encoding, kCrossCheckDepth);
        if (measured > kCrossCheckDepth) continue;
        const std::string input = base::XmlParserInput(text);
        TiXmlDocument doc;
        doc.Parse(input.c_str(), nullptr,
                  encoding == base::XmlEncoding::Utf8 ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
        if (testing_support::XmlTreeDepth(doc) != measured) return false;
    }
    return true;
}

LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info) {
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

int RunWorker(const Options& o) {
    // A crash ends the process at once, without the platform's debugger (which
    // takes seconds and writes beside the system) or a dialog.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&EndAtOnce);
    base::unique_handle mapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, o.section.c_str()));
    if (!mapping) return kExitUsage;
    auto* progress =
        static_cast<Progress*>(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Progress)));
    if (progress == nullptr) return kExitUsage;

    Workspace ws = WorkspaceAt(o.root);
    base::unique_hkey userRoot;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, o.userKey.c_str(), 0, KEY_ALL_ACCESS, userRoot.put()) != ERROR_SUCCESS) {
        return kExitUsage;
    }
    ws.userRoot = userRoot.get();

    const Corpus corpus = LoadCorpus(o);
    if (corpus.targets.empty() || (o.fixed && o.last > corpus.fixed.size())) return kExitUsage;
    const auto& targets = Targets();
    for (uint64_t index = o.first; index < o.last; ++index) {
        if (o.deadline != 0 && ::GetTickCount64() >= o.deadline) break;
        ::InterlockedExchange64(&progress->current, static_cast<LONG64>(index));
        const NamedInput input = o.fixed ? corpus.fixed[index] : MakeInput(corpus, o.seed, index);
        const FuzzTarget& target = targets[input.target];
        bool threw = false;
        try {
            target.run(input.bytes, ws);
        } catch (...) {
            threw = true;
        }
        const char* finding = nullptr;
        if (threw) finding = "exception";
        if (!SentinelsIntact(ws.root)) {
            finding = "touched-outside";
            LayDownSentinels(ws.root);
        }
        if (target.xml && !DepthMeasureAgrees(input.bytes)) finding = "depth-mismatch";
        if (finding != nullptr) {
            SaveFinding(o, input, finding);
            ::InterlockedIncrement(&progress->findings);
        }
        ::InterlockedIncrement64(&progress->completed);
    }
    ::InterlockedExchange(&progress->finished, 1);
    ::UnmapViewOfFile(progress);
    return kExitClean;
}

// ---- Driver -----------------------------------------------------------------------

// One command-line argument in quotes; backslashes before the closing quote are doubled.
std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"" + text;
    for (size_t i = text.size(); i > 0 && text[i - 1] == L'\\'; --i) out += L'\\';
    return out + L"\"";
}

struct Tally {
    uint64_t inputs = 0;
    uint64_t findings = 0;
};

// Runs inputs [first, last) in workers until all ran or the deadline passed;
// a worker that dies or hangs costs one input, which is kept as a finding.
void RunPhase(const Options& o, const Corpus& corpus, bool fixed, uint64_t first, uint64_t last, uint64_t deadline,
              const std::wstring& root, const std::wstring& userKey, Tally& tally) {
    const std::wstring sectionName = L"UninstFuzzProgress_" + std::to_wstring(::GetCurrentProcessId());
    base::unique_handle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                     sizeof(Progress), sectionName.c_str()));
    auto* progress = mapping ? static_cast<Progress*>(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0,
                                                                      sizeof(Progress)))
                             : nullptr;
    if (progress == nullptr) {
        std::printf("error: no progress section\n");
        ++tally.findings;
        return;
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    uint64_t next = first;
    while (next < last && (deadline == 0 || ::GetTickCount64() < deadline)) {
        ZeroMemory(progress, sizeof(Progress));
        progress->current = -1;
        std::wstring line = Quoted(self) + L" --worker --section " + sectionName + L" --corpus " + Quoted(o.corpus) +
                            L" --findings " + Quoted(o.findings) + L" --root " + Quoted(root) + L" --user-key " +
                            Quoted(userKey) + L" --seed " + std::to_wstring(o.seed) + L" --first " +
                            std::to_wstring(next) + L" --last " + std::to_wstring(last) + L" --deadline " +
                            std::to_wstring(deadline);
        if (fixed) line += L" --fixed";
        if (!o.target.empty()) line += L" --target " + o.target;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::printf("error: cannot start a worker\n");
            ++tally.findings;
            break;
        }
        base::unique_handle process(pi.hProcess);
        base::unique_handle thread(pi.hThread);
        LONG64 lastSeen = -1;
        uint64_t lastChange = ::GetTickCount64();
        bool hung = false;
        while (::WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
            const LONG64 seen = progress->completed;
            if (seen != lastSeen) {
                lastSeen = seen;
                lastChange = ::GetTickCount64();
            } else if (::GetTickCount64() - lastChange > kHangMs) {
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), INFINITE);
                hung = true;
            }
        }
        tally.inputs += static_cast<uint64_t>(progress->completed);
        tally.findings += static_cast<uint64_t>(progress->findings);
        if (progress->finished) break;
        // The worker died (or hung) on its current input.
        const LONG64 current = progress->current;
        if (current < 0) {
            std::printf("error: a worker ended before its first input\n");
            ++tally.findings;
            break;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        const auto index = static_cast<uint64_t>(current);
        const NamedInput input = fixed ? corpus.fixed[index] : MakeInput(corpus, o.seed, index);
        char kind[32];
        // A stack overflow under Wine can end a process with code 0: the worker's
        // missing end mark is what tells a crash.
        std::snprintf(kind, sizeof(kind), hung ? "hang" : (code == 0 ? "crash" : "crash-%08lx"),
                      static_cast<unsigned long>(code));
        SaveFinding(o, input, kind);
        ++tally.inputs;
        ++tally.findings;
        LayDownSentinels(root);
        next = index + 1;
    }
    ::UnmapViewOfFile(progress);
}

int RunDriver(Options& o) {
    if (!o.seedGiven) o.seed = ::GetTickCount64() ^ (static_cast<uint64_t>(::GetCurrentProcessId()) << 32);
    const Corpus corpus = LoadCorpus(o);
    if (corpus.targets.empty()) {
        std::printf("error: no target named %s\n", base::WideToUtf8(o.target).c_str());
        return kExitUsage;
    }

    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring name = L"uninstfuzz_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                              std::to_wstring(::GetTickCount());
    const std::wstring root = std::wstring(temp) + name + L"\\";
    const std::wstring userRootPath = kUserRootPrefix + name;
    const std::vector<std::wstring> before = Snapshot(root, userRootPath);
    CreateDirectories(root);
    LayDownSentinels(root);
    base::unique_hkey userRoot;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, userRootPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, userRoot.put(),
                      nullptr);

    const uint64_t start = ::GetTickCount64();
    size_t seedCount = 0;
    for (const size_t t : corpus.targets) seedCount += corpus.seeds[t].size();
    std::printf("fuzz: seed %llu, %llu targets, %llu seeds, %llu regression inputs\n",
                static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(corpus.targets.size()),
                static_cast<unsigned long long>(seedCount), static_cast<unsigned long long>(corpus.fixed.size()));
    std::fflush(stdout);
    Tally regressions;
    RunPhase(o, corpus, true, 0, corpus.fixed.size(), 0, root, userRootPath, regressions);
    const uint64_t deadline = o.seconds > 0 ? ::GetTickCount64() + o.seconds * kMsPerSecond : 0;
    Tally fuzzed;
    RunPhase(o, corpus, false, 0, o.inputs > 0 ? o.inputs : UINT64_MAX, deadline, root, userRootPath, fuzzed);
    const double elapsed = static_cast<double>(::GetTickCount64() - start) / kMsPerSecond;

    ::RegCloseKey(userRoot.release());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, userRootPath.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, userRootPath.c_str());
    SHFILEOPSTRUCTW remove = {};
    std::wstring from = root.substr(0, root.size() - 1) + L'\0';
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&remove);
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        if (IsInWorkspace(entry, root)) testing_support::ForgetPendingDeletion(entry);
    }

    const std::vector<std::wstring> after = Snapshot(root, userRootPath);
    uint64_t outside = 0;
    for (const std::wstring& entry : before) {
        if (std::find(after.begin(), after.end(), entry) == after.end()) {
            std::printf("finding: changed or gone outside the workspace: %s\n", base::WideToUtf8(entry).c_str());
            ++outside;
        }
    }
    for (const std::wstring& entry : after) {
        if (std::find(before.begin(), before.end(), entry) == before.end()) {
            std::printf("finding: appeared outside the workspace: %s\n", base::WideToUtf8(entry).c_str());
            ++outside;
        }
    }

    std::printf("regressions: %llu of %llu inputs run, %llu findings\n",
                static_cast<unsigned long long>(regressions.inputs),
                static_cast<unsigned long long>(corpus.fixed.size()),
                static_cast<unsigned long long>(regressions.findings));
    std::printf("fuzzed: %llu inputs in %.1f s\n", static_cast<unsigned long long>(fuzzed.inputs), elapsed);
    const uint64_t findings = regressions.findings + fuzzed.findings + outside;
    std::printf("findings: %llu (seed %llu)\n", static_cast<unsigned long long>(findings),
                static_cast<unsigned long long>(o.seed));
    return findings == 0 ? kExitClean : kExitFindings;
}

}  // namespace
}  // namespace fuzz

int wmain(int argc, wchar_t** argv) {
    fuzz::Options options;
    if (!fuzz::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: fuzz_driver --corpus DIR [--findings DIR] (--seconds S | --inputs N) [--seed X] "
                     "[--target NAME]\n");
        return fuzz::kExitUsage;
    }
    return options.worker ? fuzz::RunWorker(options) : fuzz::RunDriver(options);
}
