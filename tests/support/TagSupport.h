// Helpers for the extra-action tests: actions parsed from XML snippets and
// action files written scrambled.
#pragma once

#include <memory>
#include <string>

#include "manifest/ExpandTask.h"

namespace testing_support {

// Creates the action the snippet's root element names and parses it; null for
// a name that creates nothing.
std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml);

// Writes plain action XML scrambled as "expandtask.dat" would be.
bool WriteExpandTaskFile(const std::wstring& path, const std::string& xml);

}  // namespace testing_support
