// Single-instance guard: a named four-byte section held for the whole run.
#pragma once

#include <string>

#include "base/unique_any.h"

namespace app {

constexpr wchar_t kSingleInstanceKey[] = L"QUninstallToolName";
constexpr unsigned kSingleInstanceSectionBytes = 4;

class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const std::wstring& name);
    // True only when the section was created and mapped and already existed.
    bool IsSecondInstance() const { return second_; }
    bool IsHeld() const { return static_cast<bool>(view_); }

private:
    base::unique_handle section_;
    base::unique_view view_;  // declared after the section: unmapped first
    bool second_ = false;
};

}  // namespace app
