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
// program with --worker SECTION) that takes its job from, and tells its
// progress through, a shared section; when it dies or hangs, the driver
// rebuilds the input from the seed and its number, keeps it and starts a new
// worker after it. Exit code 0: no findings.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzTargets.h"
#include "base/XmlDepth.h"
#include "base/platform.h"
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
constexpr size_t kKeyChars = 128;

struct Options {
    std::wstring corpus, findings, target, section;  // target empty: all; section: a worker's
    uint64_t seed = 0, inputs = 0, seconds = 0;
    bool seedGiven = false;
};

std::wstring WithSeparator(std::wstring dir) {
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    return dir;
}

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
    const std::pair<const wchar_t*, std::wstring*> texts[] = {
        {L"--corpus", &o.corpus}, {L"--findings", &o.findings}, {L"--target", &o.target}, {L"--worker", &o.section}};
    const std::pair<const wchar_t*, uint64_t*> numbers[] = {
        {L"--seed", &o.seed}, {L"--inputs", &o.inputs}, {L"--seconds", &o.seconds}};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring arg = argv[i];
        bool known = false;
        for (const auto& [name, field] : texts) {
            if (arg == name) *field = argv[i + 1], known = true;
        }
        for (const auto& [name, field] : numbers) {
            if (arg == name) *field = std::wcstoull(argv[i + 1], nullptr, 0), known = true;
        }
        if (!known) return false;
        o.seedGiven = o.seedGiven || arg == L"--seed";
    }
    o.corpus = WithSeparator(o.corpus);
    o.findings = o.findings.empty() ? o.corpus + L"crashes\\" : WithSeparator(o.findings);
    return argc % 2 == 1 && !o.corpus.empty() && (o.inputs > 0 || o.seconds > 0);
}

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

struct NamedInput {
    size_t target;
    std::string name;
    std::string bytes;
};

struct Corpus {
    std::vector<size_t> targets;                  // the targets fuzzed in this run
    std::vector<std::vector<std::string>> seeds;  // by target index
    std::vector<NamedInput> fixed;                // regression inputs, run first
};

std::string Repeat(const std::string& part, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += part;
    return out;
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
        // Inputs that crashed the readers before they were mended: nesting deep
        // enough to exhaust a stack, plainly and hidden from a measure that
        // would not follow the parser's reading rules.
        if (targets[t].xml) {
            const std::string bom = "\xEF\xBB\xBF";
            corpus.fixed.push_back({t, "deep-nesting", "<r>" + Repeat("<a>", kDeepLevels)});
            corpus.fixed.push_back({t, "deep-behind-sequences", bom + "<r>" + Repeat("<a>\xC3</a>", kDeepLevels)});
            corpus.fixed.push_back({t, "deep-behind-references", "<r>" + Repeat("<a>&#</a>#1;", kDeepLevels)});
        }
    }
    return corpus;
}

// SplitMix64: small, fast and with every seed a good sequence.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
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
// bytes, path forms, macros and INI syntax.
const std::vector<std::string> kDictionary = {
    "<", ">", "/>", "</", "<a>", "</a>", "<!--", "-->", "<![CDATA[", "]]>", "<?xml version=\"1.0\"?>",
    "<?xml encoding=\"gbk\"?>", "?>", "<!DOCTYPE x>", "\"", "'", "=", "&", "&#", "&#x", ";", "&#x10FFFF;",
    "&#99999999999;", "&amp;", "&lt;", "\xC3", "\xE5\x9B\xBE", "\xEF\xBB\xBF", "\xF0\x9F\x98\x80", "\xFF",
    std::string(1, '\0'), "..\\", "..", "\\", "/", "%CUR_DIR%", "%TEMP%", "%APPDATA%", "C:\\", "\\\\?\\",
    "\\\\server\\share\\", "CON", "x:y", " mode=\"shortcut\"", " mode=\"startmenu\"", " mainprogram=\"1\"",
    "<item path=\"", "<config mode=\"startmenu\" dir=\"", " name=\"", " quicklaunchbar=\"1\"", "<before>",
    "<after>", "<execute path=\"", "<copyfile srcfile=\"", "<avoidproduct aovid=\"", "<product id=\"",
    "<method1><file hkey=\"HKCU\" path=\"", "<method2><path hkey=\"HKLM\" path=\"", "<item keyword=\"", "[",
    "]", "[config]", "tryno=", "\r\n", "\r", "\n", " ", "\t"};
// Numbers at the edges of what the readers convert.
const std::vector<std::string> kNumbers = {"0",          "-1",          "4294967295",           "4294967296",
                                           "2147483648", "-2147483649", "99999999999999999999", "0x",
                                           "0xffffffff", "33",          "-0"};

void Mutate(std::string& s, Rng& rng, const std::vector<std::string>& seeds) {
    constexpr size_t kOperators = 11, kMaxChunk = 64, kMaxRepeatedChunk = 8, kMaxRepeats = 400;
    constexpr size_t kMaxInsertedBytes = 4, kByteValues = 256;
    constexpr unsigned kBitsPerByte = 8;
    const size_t at = rng.Below(s.size() + 1);
    const size_t length = std::min(s.size() - at, 1 + rng.Below(kMaxChunk));
    const std::string& token = kDictionary[rng.Below(kDictionary.size())];
    switch (rng.Below(kOperators)) {
    case 0:  // flip a bit
        if (!s.empty()) s[rng.Below(s.size())] ^= static_cast<char>(1u << rng.Below(kBitsPerByte));
        break;
    case 1:  // any byte
        if (!s.empty()) s[rng.Below(s.size())] = static_cast<char>(rng.Below(kByteValues));
        break;
    case 2:
        s.insert(at, std::string(1 + rng.Below(kMaxInsertedBytes), static_cast<char>(rng.Below(kByteValues))));
        break;
    case 3: s.erase(at, length); break;
    case 4: s.insert(rng.Below(s.size() + 1), s.substr(at, length)); break;
    case 5: s.insert(at, token); break;
    case 6: s.replace(at, length, token); break;
    case 7: {  // splice with another seed
        const std::string& other = seeds[rng.Below(seeds.size())];
        s = s.substr(0, at) + other.substr(rng.Below(other.size() + 1));
        break;
    }
    case 8: s.resize(at); break;
    case 9:  // repeat a short range many times (nesting, long lines)
        s.insert(at, Repeat(s.substr(at, std::min(length, kMaxRepeatedChunk)), 2 + rng.Below(kMaxRepeats)));
        break;
    default:  // a run of digits becomes another number
        if (const size_t digit = s.find_first_of("0123456789", at); digit != std::string::npos) {
            const size_t end = std::min(s.find_first_not_of("0123456789", digit), s.size());
            s.replace(digit, end - digit, kNumbers[rng.Below(kNumbers.size())]);
        }
        break;
    }
    if (s.size() > kMaxInputBytes) s.resize(kMaxInputBytes);
}

// Input number `index` of the run with `seed`, the same in every process: the
// regression inputs first, then generated ones.
NamedInput MakeInput(const Corpus& corpus, uint64_t seed, uint64_t index) {
    if (index < corpus.fixed.size()) return corpus.fixed[index];
    constexpr size_t kUsualMutations = 6, kManyMutations = 32, kManyEvery = 16;
    Rng rng(seed ^ (index * kGoldenGamma));
    const size_t target = corpus.targets[rng.Below(corpus.targets.size())];
    const auto& seeds = corpus.seeds[target];
    NamedInput input{target, "s" + std::to_string(seed) + "-i" + std::to_string(index),
                     seeds[rng.Below(seeds.size())]};
    const size_t mutations = 1 + rng.Below(rng.Below(kManyEvery) == 0 ? kManyMutations : kUsualMutations);
    for (size_t i = 0; i < mutations; ++i) Mutate(input.bytes, rng, seeds);
    return input;
}

// The driver's job for a worker, and the worker's progress.
struct Shared {
    wchar_t root[MAX_PATH];
    wchar_t userKey[kKeyChars];  // below HKEY_CURRENT_USER
    uint64_t seed, first, last, deadline;  // deadline: a GetTickCount64 value for generated inputs, 0 for none
    volatile LONG64 current;    // the input being run
    volatile LONG64 completed;  // inputs done since the worker started
    volatile LONG finished;     // the worker reached its end
    volatile LONG findings;     // found inside the worker
};

constexpr const wchar_t* kRootEntries[] = {L"app", L"app2", L"desk", L"keep.txt", L"outside", L"progs"};
constexpr const wchar_t* kSentinels[] = {L"keep.txt", L"app2\\keep.txt", L"outside\\keep.txt"};

void LayDownSentinels(const std::wstring& root) {
    for (const wchar_t* entry : kRootEntries) {
        if (!wcschr(entry, L'.')) ::CreateDirectoryW((root + entry).c_str(), nullptr);
    }
    for (const wchar_t* sentinel : kSentinels) WriteBytes(root + sentinel, kSentinelText);
}

// Nothing around the installation directory and the shell folders changed.
bool SentinelsIntact(const std::wstring& root) {
    if (Names(root, false) != std::vector<std::wstring>(std::begin(kRootEntries), std::end(kRootEntries))) return false;
    for (const wchar_t* dir : {L"app2\\", L"outside\\"}) {
        if (Names(root + dir, false) != std::vector<std::wstring>{L"keep.txt"}) return false;
    }
    return std::all_of(std::begin(kSentinels), std::end(kSentinels),
                       [&](const wchar_t* s) { return ReadBytes(root + s) == kSentinelText; });
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

void ListKeys(HKEY root, const std::wstring& skip, std::vector<std::wstring>& out) {
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, L"Software", 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    wchar_t name[kKeyChars * 2];
    for (DWORD i = 0, chars = ARRAYSIZE(name);
         ::RegEnumKeyExW(key.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, chars = ARRAYSIZE(name)) {
        const std::wstring full = std::wstring(L"Software\\") + name;
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
    std::wstring bin = base::GetModulePath(nullptr);
    ListInto(bin.substr(0, bin.find_last_of(L'\\')), 2, skip, out);
    ListInto(skip.substr(0, skip.find_last_of(L'\\')), 1, skip, out);
    ListInto(L"C:", 1, skip, out);
    for (const int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS,
                            CSIDL_PROGRAMS, CSIDL_APPDATA}) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
            ListInto(path, 3, skip, out);
        }
    }
    ListKeys(HKEY_CURRENT_USER, userRoot, out);
    ListKeys(HKEY_LOCAL_MACHINE, userRoot, out);
    // A file the removal cannot delete is moved aside and registered for the
    // next restart: the workspace's own entries are no business of the world's.
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        if (!entry.empty() && !IsInWorkspace(entry, workspaceRoot)) out.push_back(L"pending rename " + entry);
    }
    return out;
}

void SaveFinding(const Options& o, const NamedInput& input, const char* kind) {
    const std::wstring dir = o.findings + base::Utf8ToWide(Targets()[input.target].name) + L"\\";
    std::wstring native = dir;
    std::replace(native.begin(), native.end(), L'/', L'\\');
    ::SHCreateDirectoryExW(nullptr, native.c_str(), nullptr);
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

// A view of the named section, unmapped with the object.
struct SharedView {
    base::unique_handle mapping;
    Shared* shared = nullptr;
    SharedView(const std::wstring& name, bool create) {
        mapping.reset(create ? ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared),
                                                    name.c_str())
                             : ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
        if (mapping) {
            shared = static_cast<Shared*>(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
        }
    }
    ~SharedView() {
        if (shared) ::UnmapViewOfFile(shared);
    }
};

int RunWorker(const Options& o) {
    // A crash ends the process at once, without the platform's debugger (which
    // takes seconds and writes beside the system) or a dialog.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&EndAtOnce);
    const SharedView view(o.section, false);
    Shared* job = view.shared;
    base::unique_hkey userRoot;
    if (!job || ::RegOpenKeyExW(HKEY_CURRENT_USER, job->userKey, 0, KEY_ALL_ACCESS, userRoot.put()) != ERROR_SUCCESS) {
        return kExitUsage;
    }
    const std::wstring root = job->root;
    const Workspace ws{root, root + L"app\\", root + L"desk\\", root + L"progs\\", userRoot.get()};
    const Corpus corpus = LoadCorpus(o);
    for (uint64_t index = job->first; index < job->last; ++index) {
        if (index >= corpus.fixed.size() && job->deadline != 0 && ::GetTickCount64() >= job->deadline) break;
        ::InterlockedExchange64(&job->current, static_cast<LONG64>(index));
        const NamedInput input = MakeInput(corpus, job->seed, index);
        const FuzzTarget& target = Targets()[input.target];
        const char* finding = nullptr;
        try {
            target.run(input.bytes, ws);
        } catch (...) {
            finding = "exception";
        }
        if (!SentinelsIntact(root)) {
            finding = "touched-outside";
            LayDownSentinels(root);
        }
        if (target.xml && !DepthMeasureAgrees(input.bytes)) finding = "depth-mismatch";
        if (finding != nullptr) {
            SaveFinding(o, input, finding);
            ::InterlockedIncrement(&job->findings);
        }
        ::InterlockedIncrement64(&job->completed);
    }
    ::InterlockedExchange(&job->finished, 1);
    return kExitClean;
}

// Runs inputs [0, last) in workers until all ran or, past the regression
// inputs, the deadline passed; a worker that dies or hangs costs one input,
// which is kept as a finding. Answers the findings.
uint64_t RunInputs(const Options& o, const Corpus& corpus, Shared job, uint64_t& inputs) {
    const std::wstring section = L"UninstFuzzProgress_" + std::to_wstring(::GetCurrentProcessId());
    const SharedView view(section, true);
    if (!view.shared) return std::printf("error: no progress section\n"), 1;
    const std::wstring self = base::GetModulePath(nullptr);
    std::wstring line = ::GetCommandLineW() + (L" --worker " + section);
    uint64_t findings = 0;
    for (job.first = 0; job.first < job.last;) {
        if (job.first >= corpus.fixed.size() && job.deadline != 0 && ::GetTickCount64() >= job.deadline) break;
        *view.shared = job;
        view.shared->current = -1;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return std::printf("error: cannot start a worker\n"), findings + 1;
        }
        base::unique_handle process(pi.hProcess), thread(pi.hThread);
        LONG64 lastSeen = -1;
        uint64_t lastChange = ::GetTickCount64();
        bool hung = false;
        while (::WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
            if (view.shared->completed != lastSeen) {
                lastSeen = view.shared->completed;
                lastChange = ::GetTickCount64();
            } else if (::GetTickCount64() - lastChange > kHangMs) {
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), INFINITE);
                hung = true;
            }
        }
        inputs += static_cast<uint64_t>(view.shared->completed);
        findings += static_cast<uint64_t>(view.shared->findings);
        if (view.shared->finished) break;
        // The worker died (or hung) on its current input.
        const LONG64 current = view.shared->current;
        if (current < 0) return std::printf("error: a worker ended before its first input\n"), findings + 1;
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        char kind[32];
        // A stack overflow under Wine can end a process with code 0: the worker's
        // missing end mark is what tells a crash.
        std::snprintf(kind, sizeof(kind), hung ? "hang" : (code == 0 ? "crash" : "crash-%08lx"),
                      static_cast<unsigned long>(code));
        SaveFinding(o, MakeInput(corpus, job.seed, static_cast<uint64_t>(current)), kind);
        ++inputs;
        ++findings;
        LayDownSentinels(job.root);
        job.first = static_cast<uint64_t>(current) + 1;
    }
    return findings;
}

// Entries of one list missing from the other, each printed as a finding.
uint64_t Missing(const std::vector<std::wstring>& from, const std::vector<std::wstring>& in, const char* what) {
    uint64_t count = 0;
    for (const std::wstring& entry : from) {
        if (std::find(in.begin(), in.end(), entry) != in.end()) continue;
        std::printf("finding: %s outside the workspace: %s\n", what, base::WideToUtf8(entry).c_str());
        ++count;
    }
    return count;
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
    const std::wstring name =
        L"uninstfuzz_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
    const std::wstring root = temp + name + L"\\";
    const std::wstring userKey = L"Software\\UninstFuzz_" + name;
    const std::vector<std::wstring> before = Snapshot(root, userKey);
    ::CreateDirectoryW(root.c_str(), nullptr);
    LayDownSentinels(root);
    base::unique_hkey userRoot;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, userKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, userRoot.put(),
                      nullptr);

    const uint64_t start = ::GetTickCount64();
    std::printf("fuzz: seed %llu, %u targets, %u regression inputs\n", static_cast<unsigned long long>(o.seed),
                static_cast<unsigned>(corpus.targets.size()), static_cast<unsigned>(corpus.fixed.size()));
    std::fflush(stdout);
    Shared job = {};
    wcsncpy(job.root, root.c_str(), MAX_PATH - 1);
    wcsncpy(job.userKey, userKey.c_str(), kKeyChars - 1);
    job.seed = o.seed;
    job.last = o.inputs > 0 ? corpus.fixed.size() + o.inputs : UINT64_MAX;
    job.deadline = o.seconds > 0 ? start + o.seconds * kMsPerSecond : 0;
    uint64_t inputs = 0;
    uint64_t findings = RunInputs(o, corpus, job, inputs);
    const double elapsed = static_cast<double>(::GetTickCount64() - start) / kMsPerSecond;

    userRoot.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, userKey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, userKey.c_str());
    base::RemoveTree(root);
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        if (IsInWorkspace(entry, root)) testing_support::ForgetPendingDeletion(entry);
    }
    const std::vector<std::wstring> after = Snapshot(root, userKey);
    findings += Missing(before, after, "changed or gone") + Missing(after, before, "appeared");

    std::printf("fuzz: %llu inputs (%u regression) in %.1f s, findings: %llu (seed %llu)\n",
                static_cast<unsigned long long>(inputs), static_cast<unsigned>(corpus.fixed.size()), elapsed,
                static_cast<unsigned long long>(findings), static_cast<unsigned long long>(o.seed));
    return findings == 0 ? kExitClean : kExitFindings;
}

}  // namespace
}  // namespace fuzz

int wmain(int argc, wchar_t** argv) {
    fuzz::Options options;
    if (!fuzz::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: fuzz_driver --corpus DIR [--findings DIR] (--seconds S | --inputs N) "
                             "[--seed X] [--target NAME]\n");
        return fuzz::kExitUsage;
    }
    return options.section.empty() ? fuzz::RunDriver(options) : fuzz::RunWorker(options);
}
