#include "ui/controls/LxDialogButton.h"

#include "base/text.h"

namespace ui {

void CLxDialogButton::Load(const TiXmlElement& element) {
    SetButtonTarget(true);
    CLxDialog::Load(element);
}

HRESULT CLxDialogButton::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxDialogButton>;
    static const A kTable[] = {
        {"name", [](CLxDialogButton& b, std::string_view v, bool) { b.name_ = base::Utf8ToWide(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxDialog::SetAttribute(name, value, loading);
}

}  // namespace ui
