#include "app/SingleInstance.h"

namespace app {

SingleInstanceGuard::SingleInstanceGuard(const std::wstring& name) {
    section_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kSingleInstanceSectionBytes, name.empty() ? nullptr : name.c_str()));
    const bool existed = section_ && ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!section_) return;
    view_.reset(::MapViewOfFile(section_.get(), FILE_MAP_ALL_ACCESS, 0, 0, kSingleInstanceSectionBytes));
    // A failed creation or mapping runs unguarded, as if this were the first instance.
    second_ = existed && view_;
}

}  // namespace app
