#include "ui/elements/LxWindowRegistry.h"

namespace ui {

LxWindowRegistry& LxWindowRegistry::Instance() {
    static LxWindowRegistry registry;
    return registry;
}

uint32_t LxWindowRegistry::Register(CLxWindow* element) {
    std::lock_guard<std::mutex> guard(lock_);
    const uint32_t handle = ++last_;
    elements_.emplace(handle, element);
    return handle;
}

void LxWindowRegistry::Unregister(uint32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    elements_.erase(handle);
}

CLxWindow* LxWindowRegistry::Find(uint32_t handle) const {
    if (handle == 0) return nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    auto found = elements_.find(handle);
    return found == elements_.end() ? nullptr : found->second;
}

size_t LxWindowRegistry::Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return elements_.size();
}

CLxWindow* FindElement(uint32_t handle) { return LxWindowRegistry::Instance().Find(handle); }

}  // namespace ui
