#include "manifest/ExpandTask.h"

#include "manifest/XmlConfigDocument.h"

namespace manifest {

ExpandTaskList& ExpandTaskList::Instance() {
    static ExpandTaskList* list = new ExpandTaskList();  // lives until process exit
    return *list;
}

bool ExpandTaskList::Load(const std::wstring& path) {
    std::string text;
    loaded_ = ReadScrambledText(path, text);
    return loaded_;
}

}  // namespace manifest
