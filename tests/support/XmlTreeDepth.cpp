#include "support/XmlTreeDepth.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "tinyxml.h"

namespace testing_support {

size_t XmlTreeDepth(const TiXmlNode& root) {
    size_t deepest = 0;
    std::vector<std::pair<const TiXmlNode*, size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
            if (child->ToElement() == nullptr) continue;
            deepest = std::max(deepest, depth + 1);
            pending.emplace_back(child, depth + 1);
        }
    }
    return deepest;
}

}  // namespace testing_support
