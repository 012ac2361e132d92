#include <gtest/gtest.h>

#include "app/Options.h"

namespace {
bool Silent(const wchar_t* text) { return app::HasSilentSwitch(text); }
bool UnchangeReg(const wchar_t* text) { return app::HasUnchangeRegSwitch(text); }
bool Flag(const wchar_t* text) { return app::IsFlagOn(text); }
}  // namespace

// "/s" counts only at its first occurrence in the whole command line (the
// program's path included) and only as a word of its own; "/unchange_reg"
// anywhere counts; a flag value counts only when exactly "1".
TEST(Options, SwitchesAndFlagValues) {
    const struct { bool (*test)(const wchar_t*); const wchar_t* text; bool expected; } cases[] = {
        {&Silent, L"\"C:\\p\\uninst.exe\" /s /unchange_reg", true},
        {&Silent, L"uninst.exe /s\t", true},
        {&Silent, L"uninst.exe /s\r\n", true},
        {&Silent, L"\"C:\\p\\uninst.exe\"", false},
        {&Silent, L"uninst.exe /S", false},
        {&Silent, L"uninst.exe /silent /s", false},  // the first "/s" starts a longer word
        {&Silent, L"uninst.exe -s", false},
        {&Silent, L"", false},
        {&Silent, L"Z:/s dir/uninst.exe", true},
        {&Silent, L"Z:/share/uninst.exe /s", false},  // "/sh..." is met first
        {&Silent, L"\"Z:\\x\\uninst.exe\" a/s", true},  // no boundary before the switch
        {&UnchangeReg, L"uninst.exe /unchange_registry", true},
        {&UnchangeReg, L"uninst.exe x/unchange_regy", true},
        {&UnchangeReg, L"uninst.exe /UNCHANGE_REG", false},
        {&UnchangeReg, L"uninst.exe /unchange-reg", false},
        {&Flag, L"1", true},
        {&Flag, L"01", false},
        {&Flag, L"1 ", false},
        {&Flag, L" 1", false},
        {&Flag, L"true", false},
        {&Flag, L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.test(c.text), c.expected) << &c - cases;
}

TEST(Options, ArgumentCountFollowsThePlatformSplitting) {
    EXPECT_EQ(app::CountArguments(L"\"C:\\Program Files\\v\\uninst.exe\""), 1);
    EXPECT_EQ(app::CountArguments(L"\"C:\\Program Files\\v\\uninst.exe\" /s"), 2);
    EXPECT_EQ(app::CountArguments(L"uninst.exe \"a b\" c"), 3);
    EXPECT_EQ(app::CountArguments(L"uninst.exe   "), 1);
}
