// The manifest's name decoding, the entry factory, the service entry on a real
// service and the main program's single run.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsvc.h>

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "manifest/FileConfig.h"
#include "manifest/InstallLoader.h"
#include "support/ChildProcess.h"
#include "support/ManifestSupport.h"
#include "support/TestSupport.h"

using manifest::CreateInstallInfo;
using manifest::DecodeUtf8Bmp;
using manifest::QInstallLoader;
using base::XmlConfigDocument;
using testing_support::ReadLines;
using testing_support::TempDir;

namespace {

// A document whose cursor is on the root element, as Execute sees an entry.
bool LoadEntry(XmlConfigDocument& doc, const std::string& xml) { return doc.LoadText(xml) && doc.SelectPath(""); }

}  // namespace

TEST(ManifestDecodeUtf8Bmp, DecodesOneToThreeByteSequences) {
    EXPECT_EQ(DecodeUtf8Bmp("Lumenox Viewer.lnk"), L"Lumenox Viewer.lnk");
    EXPECT_EQ(DecodeUtf8Bmp("caf\xC3\xA9"), L"caf\u00e9");
    // Chinese names, as the installer writes them for its shortcuts.
    EXPECT_EQ(DecodeUtf8Bmp("\xE7\x9C\x8B\xE5\x9B\xBE.lnk"), L"\u770b\u56fe.lnk");
    EXPECT_EQ(DecodeUtf8Bmp(""), L"");
}

TEST(ManifestDecodeUtf8Bmp, StopsAtWhatItCannotDecodeKeepingThePrefix) {
    // A four-byte sequence (an emoji) ends the name before it.
    EXPECT_EQ(DecodeUtf8Bmp("ab\xF0\x9F\x98\x80" "c.lnk"), L"ab");
    // A continuation byte where a character should start.
    EXPECT_EQ(DecodeUtf8Bmp("ab\x80" "cd"), L"ab");
    // Sequences cut off by the end of the text.
    EXPECT_EQ(DecodeUtf8Bmp("ab\xE7\x9C"), L"ab");
    EXPECT_EQ(DecodeUtf8Bmp("ab\xC3"), L"ab");
    // An overlong zero would cut the path short at the platform: it ends the
    // name here already, so "\0x" cannot turn into the folder itself.
    EXPECT_EQ(DecodeUtf8Bmp("ab\xC0\x80" "cd"), L"ab");
    EXPECT_EQ(DecodeUtf8Bmp("\xC0\x80" "cd"), L"");
}

TEST(ManifestCreateInstallInfo, KnowsExactlyTheThreeEntryModes) {
    const std::wstring path = L"C:\\Lumenox\\lumenox.exe";
    for (const wchar_t* mode : {L"shortcut", L"startmenu", L"service"}) {
        const auto entry = CreateInstallInfo(mode, path);
        ASSERT_NE(entry, nullptr) << mode;
        EXPECT_EQ(entry->path(), path);
        EXPECT_EQ(std::string(entry->GetModeName()), base::WideToUtf8(mode));
    }
    // "reg" belongs to the main-program item, not to an entry; modes compare exactly.
    for (const wchar_t* mode : {L"reg", L"Shortcut", L"SERVICE", L"startmenu ", L""}) {
        EXPECT_EQ(CreateInstallInfo(mode, path), nullptr) << mode;
    }
}

TEST(ManifestServiceEntry, StopsAndDeletesARealService) {
    testing_support::ScopedTestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());

    XmlConfigDocument doc;
    ASSERT_TRUE(LoadEntry(doc, "<config mode=\"service\" name=\"" + base::WideToUtf8(service.name()) +
                                   "\" displayname=\"Lumenox Service\" group=\"\" cmdline=\"-run\"/>"));
    auto entry = CreateInstallInfo(L"service", testing_support::BinDir() + L"qlumservice.exe");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Execute(doc), 1);
    EXPECT_TRUE(service.WaitUntilGone());
}

TEST(ManifestServiceEntry, WithoutNameDoesNothingAndMissingServiceIsHarmless) {
    XmlConfigDocument doc;
    auto entry = CreateInstallInfo(L"service", L"C:\\Lumenox\\qlumservice.exe");
    ASSERT_TRUE(LoadEntry(doc, "<config mode=\"service\" displayname=\"Lumenox Service\"/>"));
    EXPECT_EQ(entry->Execute(doc), 0);
    // A service that is already gone: both operations fail, the entry still counts as done.
    ASSERT_TRUE(LoadEntry(doc, "<config mode=\"service\" name=\"qlum_never_installed_service\"/>"));
    EXPECT_EQ(entry->Execute(doc), 1);
}

TEST(ManifestInstallLoader, AnswersItsCodesAndRunsTheProgramOnceWithSetDefault) {
    TempDir dir(L"loader");
    QInstallLoader loader;
    loader.Init(manifest::kInstallLoaderKindExe, L"");
    EXPECT_EQ(loader.Run(), manifest::kLoaderEmptyPath);
    loader.Init(manifest::kInstallLoaderKindExe, dir / L"missing.exe");
    EXPECT_EQ(loader.Run(), manifest::kLoaderFileMissing);
    // A directory is no program.
    loader.Init(manifest::kInstallLoaderKindExe, dir.path());
    EXPECT_EQ(loader.Run(), manifest::kLoaderFileMissing);

    ASSERT_TRUE(testing_support::CopyInto(L"lumenox_main.exe", dir.path()));
    loader.Init(manifest::kInstallLoaderKindExe, dir / L"lumenox_main.exe");
    EXPECT_EQ(loader.parameters(), L"/setdefault:0");
    EXPECT_EQ(loader.Run(), manifest::kLoaderStarted);
    ASSERT_TRUE(testing_support::WaitForLine(dir / L"lumenox_main.log", 10000));
    EXPECT_EQ(ReadLines(dir / L"lumenox_main.log"), std::vector<std::string>{"/setdefault:0"});
}
