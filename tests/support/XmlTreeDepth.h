// The deepest element nesting of a parsed document, counted without recursion
// (the tree may be as deep as the parser went before it gave up).
#pragma once

#include <cstddef>

class TiXmlNode;

namespace testing_support {

size_t XmlTreeDepth(const TiXmlNode& root);

}  // namespace testing_support
