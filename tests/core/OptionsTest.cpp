#include <gtest/gtest.h>

#include "app/Options.h"

using app::CountArguments;
using app::HasSilentSwitch;
using app::HasUnchangeRegSwitch;
using app::IsFlagOn;

TEST(SilentSwitch, OnlyTheFirstOccurrenceCounts) {
    EXPECT_TRUE(HasSilentSwitch(L"\"C:\\p\\uninst.exe\" /s"));
    EXPECT_TRUE(HasSilentSwitch(L"\"C:\\p\\uninst.exe\" /s /unchange_reg"));
    EXPECT_TRUE(HasSilentSwitch(L"uninst.exe /s\t"));
    EXPECT_TRUE(HasSilentSwitch(L"uninst.exe /s\r\n"));
    EXPECT_FALSE(HasSilentSwitch(L"\"C:\\p\\uninst.exe\""));
    EXPECT_FALSE(HasSilentSwitch(L"uninst.exe /S"));
    // The first "/s" starts a longer word, so the later one is never examined.
    EXPECT_FALSE(HasSilentSwitch(L"uninst.exe /silent /s"));
    EXPECT_FALSE(HasSilentSwitch(L"uninst.exe /setup /s"));
    EXPECT_FALSE(HasSilentSwitch(L""));
    EXPECT_FALSE(HasSilentSwitch(L"uninst.exe -s"));
}

TEST(SilentSwitch, ProgramPathIsPartOfTheSearchedText) {
    EXPECT_TRUE(HasSilentSwitch(L"Z:/s dir/uninst.exe"));
    EXPECT_FALSE(HasSilentSwitch(L"Z:/share/uninst.exe /s"));  // "/sh..." is met first
    EXPECT_TRUE(HasSilentSwitch(L"\"Z:\\x\\uninst.exe\" a/s"));  // no boundary before the switch
}

TEST(UnchangeRegSwitch, IsASubstringTest) {
    EXPECT_TRUE(HasUnchangeRegSwitch(L"uninst.exe /unchange_reg"));
    EXPECT_TRUE(HasUnchangeRegSwitch(L"uninst.exe /unchange_registry"));
    EXPECT_TRUE(HasUnchangeRegSwitch(L"uninst.exe x/unchange_regy"));
    EXPECT_FALSE(HasUnchangeRegSwitch(L"uninst.exe /UNCHANGE_REG"));
    EXPECT_FALSE(HasUnchangeRegSwitch(L"uninst.exe /unchange-reg"));
}

TEST(ArgumentCount, FollowsThePlatformSplitting) {
    EXPECT_EQ(CountArguments(L"\"C:\\Program Files\\v\\uninst.exe\""), 1);
    EXPECT_EQ(CountArguments(L"C:\\v\\uninst.exe"), 1);
    EXPECT_EQ(CountArguments(L"\"C:\\Program Files\\v\\uninst.exe\" /s"), 2);
    EXPECT_EQ(CountArguments(L"uninst.exe \"a b\" c"), 3);
    EXPECT_EQ(CountArguments(L"uninst.exe   "), 1);
}

TEST(FlagValues, OnlyExactlyOneCounts) {
    EXPECT_TRUE(IsFlagOn(L"1"));
    EXPECT_FALSE(IsFlagOn(L"01"));
    EXPECT_FALSE(IsFlagOn(L"1 "));
    EXPECT_FALSE(IsFlagOn(L" 1"));
    EXPECT_FALSE(IsFlagOn(L"true"));
    EXPECT_FALSE(IsFlagOn(L""));
    EXPECT_FALSE(IsFlagOn(L"2"));
}
