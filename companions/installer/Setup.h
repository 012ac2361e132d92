// The commands of the sample installer.
#pragma once

#include <string>

#include "SampleLayout.h"

namespace sample {

// Process exit codes.
constexpr int kExitOk = 0;
constexpr int kExitRemains = 1;  // --check-removed: something is left or a decoy was lost
constexpr int kExitFailed = 2;   // an installation step failed, bad usage, no record

// Lays the installation down; options.mainProgram is resolved here.
int Install(const std::wstring& installDir, SetupOptions options);
// Prints the inventory of what is present.
int PrintInventory(const std::wstring& installDir);
// kExitOk only when the removal left nothing that the installation made (and
// the decoys and foreign entries survived); prints what remains otherwise.
int CheckRemoved(const std::wstring& installDir);
// Takes away everything the installation made, including its record.
int Cleanup(const std::wstring& installDir);

// The options recorded by Install beside the directory.
bool SaveSetupRecord(const std::wstring& installDir, const SetupOptions& options);
bool LoadSetupRecord(const std::wstring& installDir, SetupOptions& options);

// UTF-8 line on standard output.
void PrintLine(const std::wstring& text);

}  // namespace sample
