// LxWindowRegistry: the process-wide map from element handle to element.
// Parents, ancestors and hit elements are always looked up here by handle,
// so that a handle whose element is gone yields nothing instead of a
// dangling object. Handles count up from 1 and are never reused.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace ui {

class CLxWindow;

class LxWindowRegistry {
public:
    static LxWindowRegistry& Instance();

    uint32_t Register(CLxWindow* element);
    void Unregister(uint32_t handle);
    CLxWindow* Find(uint32_t handle) const;
    size_t Count() const;

private:
    mutable std::mutex lock_;
    std::unordered_map<uint32_t, CLxWindow*> elements_;
    uint32_t last_ = 0;
};

// The element of a handle, or null.
CLxWindow* FindElement(uint32_t handle);

}  // namespace ui
