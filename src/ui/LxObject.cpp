#include "ui/LxObject.h"

#include <tinyxml.h>

namespace ui {

void CLxObject::Load(const TiXmlElement& element) {
    LoadAttributes(element);
    OnAttributesLoaded();
}

void CLxObject::LoadAttributes(const TiXmlElement& element) {
    for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
        SetAttribute(a->Name(), a->Value(), true);
    }
}

}  // namespace ui
