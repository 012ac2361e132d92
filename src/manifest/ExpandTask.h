// The queued extra actions of "expandtask.dat".
#pragma once

#include <string>

namespace manifest {

constexpr wchar_t kExpandTaskFileName[] = L"expandtask.dat";

class ExpandTaskList {
public:
    static ExpandTaskList& Instance();
    // Reads the scrambled action file; false when it is missing or unreadable.
    bool Load(const std::wstring& path);
    bool loaded() const { return loaded_; }

private:
    bool loaded_ = false;
};

}  // namespace manifest
