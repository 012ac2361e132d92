// Loading "expandtask.dat" and running its two groups with their stop rules.
#include <gtest/gtest.h>

#include <vector>

#include "base/XmlDepth.h"
#include "base/text.h"
#include "manifest/ExpandTask.h"
#include "base/XmlConfigDocument.h"
#include "support/TestSupport.h"

using namespace manifest;
using namespace testing_support;

namespace {

// Copy actions over one directory: a succeeding action copies "src.txt" to
// the named output, a failing one names a missing source.
class Actions {
public:
    Actions() { WriteBytes(dir_ / L"src.txt", "payload"); }
    std::string Ok(const std::wstring& out) const { return Copy(dir_ / L"src.txt", dir_ / out); }
    std::string Fail(const std::wstring& out) const { return Copy(dir_ / L"missing.txt", dir_ / out); }
    bool Ran(const std::wstring& out) const { return Exists(dir_ / out); }
    std::wstring operator/(const std::wstring& name) const { return dir_ / name; }
    const TempDir& dir() const { return dir_; }

private:
    static std::string Copy(const std::wstring& src, const std::wstring& dest) {
        return "<copyfile srcfile=\"" + base::XmlEscape(src) + "\" destfile=\"" + base::XmlEscape(dest) + "\"/>";
    }
    TempDir dir_;
};

std::string Document(const std::string& rootAttributes, const std::string& before, const std::string& after) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks " + rootAttributes + ">\r\n<before>" + before +
           "</before>\r\n<after>" + after + "</after>\r\n</tasks>\r\n";
}

}  // namespace

TEST(ExpandTaskStop, GroupsStopByTheConditionAndRunOnce) {
    // Actions "o" succeed and "f" fail; each group's actions are named b1, b2, ... and a1, a2, ...
    const struct {
        const char* root;
        const char* before;
        const char* after;
        int beforeResult;  // the last action's result, 0 as well when the group stopped
        int afterResult;
        const char* ran;  // the succeeding actions that ran
        size_t queued;    // actions left queued until the process ends
        int stopFlag;     // after the before-group; -1: not judged
    } cases[] = {
        // A failed before-action stops everything; the flag is shared with the after-group.
        {"needbeforecondition=\"1\"", "fo", "o", 0, 1, "", 2, 1},
        {"needbeforecondition=\"0\"", "fo", "foo", 1, 1, "b2 a2 a3", 0, -1},
        // With the condition the after-group ends after its first success.
        {"needbeforecondition=\"1\"", "oo", "foo", 1, 1, "b1 b2 a2", 1, 0},
        {"", "of", "", 0, 1, "b1", 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " " + c.before + " " + c.after);
        Actions a;
        const auto group = [&](const char* kinds, const wchar_t* prefix) {
            std::string xml;
            for (size_t i = 0; kinds[i]; ++i) {
                const std::wstring name = prefix + std::to_wstring(i + 1);
                xml += kinds[i] == 'o' ? a.Ok(name) : a.Fail(name);
            }
            return xml;
        };
        ExpandTaskList list;
        ASSERT_TRUE(list.LoadText(Document(c.root, group(c.before, L"b"), group(c.after, L"a"))));
        EXPECT_EQ(list.RunBefore(), c.beforeResult);
        if (c.stopFlag >= 0) {
            EXPECT_EQ(list.stop_flag(), c.stopFlag);
        }
        EXPECT_EQ(list.RunAfter(), c.afterResult);
        const auto ran = [&] {
            std::string names;
            for (const wchar_t* name : {L"b1", L"b2", L"a1", L"a2", L"a3"}) {
                if (a.Ran(name)) names += (names.empty() ? "" : " ") + base::WideToUtf8(name);
            }
            return names;
        };
        EXPECT_EQ(ran(), c.ran);
        EXPECT_EQ(list.before_count() + list.after_count(), c.queued);
        // Later calls (the farewell page closed again) run nothing anew.
        for (const wchar_t* name : {L"b1", L"b2", L"a1", L"a2", L"a3"}) ::DeleteFileW((a / name).c_str());
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_EQ(list.RunAfter(), 1);
        EXPECT_EQ(ran(), "");
    }
}

TEST(ExpandTaskLoad, RootValuesReachEveryAction) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("needbeforecondition=\"2\" needreport=\"0\" src=\"17\" senceid=\"x9\"",
                                       a.Ok(L"b1") + "<EXECUTE path=\"p\" md5=\"m\"/>",
                                       "<avoidproduct aovid=\"3\"/>")));
    EXPECT_EQ(list.needbeforecondition(), 2);
    EXPECT_EQ(list.src(), 17);
    EXPECT_EQ(list.senceid(), 0);  // does not parse: stays 0
    ASSERT_EQ(list.before_count(), 2u);
    ASSERT_EQ(list.after_count(), 1u);
    EXPECT_EQ(list.before_at(1)->src(), 17);
    EXPECT_EQ(list.after_at(0)->src(), 17);
    EXPECT_EQ(list.after_at(0)->senceid(), 0);
    const auto* run = dynamic_cast<const CRunExeTag*>(list.before_at(1));
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->path(), L"p");
    EXPECT_EQ(run->param(), L"");
    const auto* avoid = dynamic_cast<const CAvoidProductTag*>(list.after_at(0));
    ASSERT_NE(avoid, nullptr);
    EXPECT_EQ(avoid->mask(), 3u);
}

TEST(ExpandTaskLoad, UnknownAndInvalidActionsAmongGoodOnes) {
    Actions a;
    ExpandTaskList list;
    // Unknown names create nothing; an action missing an attribute is queued,
    // fails when run, and the later ones still run without the condition.
    ASSERT_TRUE(list.LoadText(Document("", a.Ok(L"b1") + "<executex path=\"x\" md5=\"y\"/><note/>" +
                                               "<copyfile srcfile=\"x\"/>" + a.Ok(L"b2"),
                                       "")));
    EXPECT_EQ(list.before_count(), 3u);
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_TRUE(a.Ran(L"b1"));
    EXPECT_TRUE(a.Ran(L"b2"));
}

TEST(ExpandTaskLoad, BrokenOrPartialFilesKeepWhatWasBuiltBeforeTheError) {
    Actions a;
    std::string deep;
    for (size_t i = 0; i < base::kMaxXmlDepth; ++i) deep += "<x>";
    const struct {
        std::string xml;
        bool loads;  // both groups read
        size_t queued;
        int beforeResult;
        int afterResult;  // 0 whenever the file did not load
        const char* ran;
    } cases[] = {
        // The text breaks off inside the third action's attribute list, which lacks its destination.
        {"<tasks><before>" + a.Ok(L"b1") + a.Ok(L"b2") + "<copyfile srcfile=\"" + base::XmlEscape(a / L"src.txt") + "\" destf",
         false, 3, 0, 0, "b1 b2"},
        // A wrong closing tag after the before-group: the after-group is never built.
        {"<tasks><before>" + a.Ok(L"b1") + "</after><after>" + a.Ok(L"a1") + "</after></tasks>", false, 1, 1, 0, "b1"},
        // The groups load independently; their names are case-sensitive, the root's name is free.
        {"<tasks><before>" + a.Ok(L"b1") + "</before></tasks>", false, 1, 1, 0, "b1"},
        {"<tasks><after>" + a.Ok(L"a1") + "</after></tasks>", true, 1, 1, 1, "a1"},
        {"<anything><Before>" + a.Ok(L"b1") + "</Before><AFTER/></anything>", false, 0, 1, 0, ""},
        // A file nested too deep keeps nothing: the nesting is measured before anything is parsed.
        {Document("", a.Ok(L"b1"), a.Ok(L"a1") + deep), false, 0, 1, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        for (const wchar_t* name : {L"b1", L"b2", L"a1"}) ::DeleteFileW((a / name).c_str());
        ExpandTaskList list;
        EXPECT_EQ(list.LoadText(c.xml), c.loads);
        EXPECT_EQ(list.before_count() + list.after_count(), c.queued);
        EXPECT_EQ(list.RunBefore(), c.beforeResult);
        EXPECT_EQ(list.RunAfter(), c.afterResult);
        std::string ran;
        for (const wchar_t* name : {L"b1", L"b2", L"a1"}) {
            if (a.Ran(name)) ran += (ran.empty() ? "" : " ") + base::WideToUtf8(name);
        }
        EXPECT_EQ(ran, c.ran);
    }
}

TEST(ExpandTaskLoad, MissingEmptyOrRootlessFileDoesNothing) {
    TempDir dir;
    for (const std::string& content : {std::string(), ScrambleExpandTaskText("not xml at all"),
                                       ScrambleExpandTaskText("<!-- only a comment -->")}) {
        ExpandTaskList list;
        if (!content.empty()) {
            ASSERT_TRUE(WriteBytes(dir / L"expandtask.dat", content));
        }
        EXPECT_FALSE(list.Load(dir / L"expandtask.dat"));
        EXPECT_FALSE(list.loaded());
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_EQ(list.RunAfter(), 0);
    }
}

TEST(ExpandTaskLoad, WriterToolFileWithNonAsciiPaths) {
    Actions a;
    // U+4E27 is E4 B8 A7 in UTF-8: its last byte is the scrambling key.
    const std::wstring dest = L"\x4E27\x76EE\x6807.txt";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks needbeforecondition=\"1\"><before>" +
                            a.Ok(dest) + "</before><after>" + a.Ok(L"a1") + "</after></tasks>";
    ASSERT_TRUE(WriteBytes(a / L"actions.xml", xml));
    const auto writer = RunProcess(
        BinDir() + L"expandtask_writer.exe",
        L"\"" + (a / L"actions.xml") + L"\" \"" + (a / kExpandTaskFileName) + L"\"");
    ASSERT_TRUE(writer.finished);
    ASSERT_EQ(writer.exitCode, 0u);
    EXPECT_EQ(ReadBytes(a / kExpandTaskFileName), ScrambleExpandTaskText(xml));
    ExpandTaskList list;
    ASSERT_TRUE(list.Load(a / kExpandTaskFileName));
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_EQ(ReadBytes(a / dest), "payload");
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_TRUE(a.Ran(L"a1"));
}
