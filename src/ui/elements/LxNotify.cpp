#include "ui/elements/LxNotify.h"

namespace ui {

LRESULT SendLxNotify(HWND target, HWND sender, UINT_PTR senderId, UINT code, int32_t id, const char* className) {
    if (!target) return 0;
    LxNotifyRecord record = {};
    record.hdr.hwndFrom = sender;
    record.hdr.idFrom = senderId;
    record.hdr.code = code;
    record.id = id;
    record.className = className;
    return ::SendMessageW(target, WM_NOTIFY, senderId, reinterpret_cast<LPARAM>(&record));
}

}  // namespace ui
