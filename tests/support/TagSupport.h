// Actions parsed from XML snippets, and paths written into XML attributes.
#pragma once

#include <memory>
#include <string>

#include "manifest/ExpandTask.h"

namespace testing_support {

// Creates the action the snippet's root element names and parses it; null for
// a name that creates nothing.
std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml);

// A wide path as UTF-8 with the XML attribute specials escaped.
std::string XmlAttr(const std::wstring& text);

}  // namespace testing_support
