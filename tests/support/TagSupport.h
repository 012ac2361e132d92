// Actions parsed from XML snippets.
#pragma once

#include <memory>
#include <string>

#include "manifest/ExpandTask.h"

namespace testing_support {

// Creates the action the snippet's root element names and parses it; null for
// a name that creates nothing.
std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml);

}  // namespace testing_support
