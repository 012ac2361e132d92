// Loading "expandtask.dat" and running its two groups with their stop rules.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/XmlConfigDocument.h"
#include "base/XmlDepth.h"
#include "base/text.h"
#include "manifest/ExpandTask.h"
#include "support/TagSupport.h"
#include "support/TestSupport.h"

using namespace manifest;
using testing_support::BinDir;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using base::XmlEscape;

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
        return "<copyfile srcfile=\"" + XmlEscape(src) + "\" destfile=\"" + XmlEscape(dest) + "\"/>";
    }
    TempDir dir_;
};

std::string Document(const std::string& rootAttributes, const std::string& before, const std::string& after) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks " + rootAttributes + ">\r\n<before>" + before +
           "</before>\r\n<after>" + after + "</after>\r\n</tasks>\r\n";
}

}  // namespace

TEST(ExpandTaskStop, FailedBeforeActionStopsEverythingWithCondition) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("needbeforecondition=\"1\"", a.Fail(L"b1") + a.Ok(L"b2"), a.Ok(L"a1"))));
    EXPECT_EQ(list.RunBefore(), 0);
    EXPECT_FALSE(a.Ran(L"b2"));
    EXPECT_EQ(list.before_count(), 1u);  // left queued until the process ends
    EXPECT_EQ(list.stop_flag(), 1);
    // The stop flag is shared with the after-group.
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_FALSE(a.Ran(L"a1"));
    EXPECT_EQ(list.after_count(), 1u);
}

TEST(ExpandTaskStop, WithoutConditionEveryActionRuns) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(
        Document("needbeforecondition=\"0\"", a.Fail(L"b1") + a.Ok(L"b2"), a.Fail(L"a1") + a.Ok(L"a2") + a.Ok(L"a3"))));
    EXPECT_EQ(list.RunBefore(), 1);  // the last action's result
    EXPECT_TRUE(a.Ran(L"b2"));
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_TRUE(a.Ran(L"a2"));
    EXPECT_TRUE(a.Ran(L"a3"));
    EXPECT_EQ(list.before_count() + list.after_count(), 0u);
}

TEST(ExpandTaskStop, AfterGroupEndsAfterFirstSuccessWithCondition) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("needbeforecondition=\"1\"", a.Ok(L"b1") + a.Ok(L"b2"),
                                       a.Fail(L"a1") + a.Ok(L"a2") + a.Ok(L"a3"))));
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_TRUE(a.Ran(L"b1"));
    EXPECT_TRUE(a.Ran(L"b2"));
    EXPECT_EQ(list.stop_flag(), 0);
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_TRUE(a.Ran(L"a2"));
    EXPECT_FALSE(a.Ran(L"a3"));
    EXPECT_EQ(list.after_count(), 1u);
    // A later call (the farewell page closed again) finds the flag still set.
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_FALSE(a.Ran(L"a3"));
}

TEST(ExpandTaskStop, BeforeEndsWithLastResultAndRunsOnlyOnce) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("", a.Ok(L"b1") + a.Fail(L"b2"), "")));
    EXPECT_EQ(list.RunBefore(), 0);
    EXPECT_TRUE(a.Ran(L"b1"));
    ASSERT_TRUE(::DeleteFileW((a / L"b1").c_str()));
    EXPECT_EQ(list.RunBefore(), 1);  // nothing left to run
    EXPECT_FALSE(a.Ran(L"b1"));
    EXPECT_EQ(list.RunAfter(), 1);   // loaded, empty group
}

TEST(ExpandTaskLoad, RootValuesReachEveryAction) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("needbeforecondition=\"2\" needreport=\"0\" src=\"17\" senceid=\"x9\"",
                                       a.Ok(L"b1") + "<EXECUTE path=\"p\" md5=\"m\"/>", "<avoidproduct aovid=\"3\"/>")));
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

TEST(ExpandTaskLoad, MalformedFileKeepsActionsBuiltBeforeTheError) {
    Actions a;
    {
        // The text breaks off inside the third action's attribute list.
        ExpandTaskList list;
        const std::string text = "<tasks><before>" + a.Ok(L"b1") + a.Ok(L"b2") + "<copyfile srcfile=\"" +
                                 XmlEscape(a / L"src.txt") + "\" destf";
        EXPECT_FALSE(list.LoadText(text));  // no after-group
        ASSERT_EQ(list.before_count(), 3u);
        EXPECT_EQ(list.RunBefore(), 0);  // the broken action lacks its destination
        EXPECT_TRUE(a.Ran(L"b1"));
        EXPECT_TRUE(a.Ran(L"b2"));
        EXPECT_EQ(list.RunAfter(), 0);
    }
    {
        // A wrong closing tag after the before-group: the after-group is never built.
        ExpandTaskList list;
        EXPECT_FALSE(list.LoadText("<tasks><before>" + a.Ok(L"c1") + "</after><after>" + a.Ok(L"c2") +
                                   "</after></tasks>"));
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_TRUE(a.Ran(L"c1"));
        EXPECT_EQ(list.RunAfter(), 0);
        EXPECT_FALSE(a.Ran(L"c2"));
    }
}

TEST(ExpandTaskLoad, TooDeepFileIsRefusedWhole) {
    // Unlike a malformed file, a file nested too deep keeps nothing: the
    // nesting is measured before anything is parsed.
    Actions a;
    std::string deep;
    for (size_t i = 0; i < base::kMaxXmlDepth; ++i) deep += "<x>";
    ExpandTaskList list;
    EXPECT_FALSE(list.LoadText(Document("", a.Ok(L"b1"), a.Ok(L"a1") + deep)));
    EXPECT_EQ(list.before_count(), 0u);
    EXPECT_EQ(list.after_count(), 0u);
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

TEST(ExpandTaskLoad, GroupsLoadIndependently) {
    Actions a;
    {
        ExpandTaskList list;
        EXPECT_FALSE(list.LoadText("<tasks><before>" + a.Ok(L"b1") + "</before></tasks>"));
        EXPECT_EQ(list.RunAfter(), 0);
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_TRUE(a.Ran(L"b1"));
    }
    {
        ExpandTaskList list;
        EXPECT_TRUE(list.LoadText("<tasks><after>" + a.Ok(L"a1") + "</after></tasks>"));
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_EQ(list.RunAfter(), 1);
        EXPECT_TRUE(a.Ran(L"a1"));
    }
    {
        // Group names are case-sensitive; the root's name is free.
        ExpandTaskList list;
        EXPECT_FALSE(list.LoadText("<anything><Before>" + a.Ok(L"x1") + "</Before><AFTER/></anything>"));
        EXPECT_EQ(list.before_count() + list.after_count(), 0u);
    }
}

TEST(ExpandTaskLoad, WriterToolFileWithNonAsciiPaths) {
    Actions a;
    // U+4E27 is E4 B8 A7 in UTF-8: its last byte is the scrambling key.
    const std::wstring dest = L"\x4E27\x76EE\x6807.txt";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks needbeforecondition=\"1\"><before>" +
                            a.Ok(dest) + "</before><after>" + a.Ok(L"a1") + "</after></tasks>";
    ASSERT_TRUE(WriteBytes(a / L"actions.xml", xml));
    const auto writer = testing_support::RunProcess(
        BinDir() + L"expandtask_writer.exe", L"\"" + (a / L"actions.xml") + L"\" \"" + (a / kExpandTaskFileName) + L"\"");
    ASSERT_TRUE(writer.finished);
    ASSERT_EQ(writer.exitCode, 0u);
    EXPECT_EQ(ReadBytes(a / kExpandTaskFileName), ScrambleExpandTaskText(xml));
    std::string text;
    ASSERT_TRUE(base::ReadScrambledText(a / kExpandTaskFileName, text));
    EXPECT_EQ(text, xml);

    ExpandTaskList list;
    ASSERT_TRUE(list.Load(a / kExpandTaskFileName));
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_EQ(ReadBytes(a / dest), "payload");
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_TRUE(a.Ran(L"a1"));

    const auto usage = testing_support::RunProcess(BinDir() + L"expandtask_writer.exe", L"one-argument");
    ASSERT_TRUE(usage.finished);
    EXPECT_NE(usage.exitCode, 0u);
}

TEST(ExpandTaskInstance, ConcurrentFirstCallsShareOneList) {
    constexpr int kThreads = 8;
    HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(go, nullptr);
    std::vector<ExpandTaskList*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ::WaitForSingleObject(go, INFINITE);
            seen[i] = &ExpandTaskList::Instance();
        });
    }
    ::SetEvent(go);
    for (std::thread& t : threads) t.join();
    ::CloseHandle(go);
    for (ExpandTaskList* list : seen) EXPECT_EQ(list, &ExpandTaskList::Instance());
}
