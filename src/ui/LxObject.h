// The library's root object: something loaded from the attributes of an XML
// element. Attribute handling is table-driven: each class keeps one static
// table from attribute name to handler, tried from the class towards its
// bases; the table doubles as the list of names the class understands.
#pragma once

#include <windows.h>

#include <string_view>

class TiXmlElement;

namespace ui {

// SetAttribute's answer for a name that the class and its bases do not know.
constexpr HRESULT kUnknownAttribute = static_cast<HRESULT>(0x80004005);

template <typename T>
struct LxAttribute {
    std::string_view name;
    void (*apply)(T& object, std::string_view value, bool loading);
};

// Applies the handler of `name` from `table`; false when the table lacks it.
template <typename T, size_t N>
bool ApplyAttribute(const LxAttribute<T> (&table)[N], T& object, std::string_view name, std::string_view value,
                    bool loading) {
    for (const LxAttribute<T>& entry : table) {
        if (entry.name == name) {
            entry.apply(object, value, loading);
            return true;
        }
    }
    return false;
}

class CLxObject {
public:
    virtual ~CLxObject() = default;
    // True when name is the tag of this object's own class (bases are not consulted).
    virtual bool IsClass(std::string_view name) const { return name == GetObjectClass(); }
    virtual const char* GetObjectClass() const = 0;
    // Passes every attribute of the element to SetAttribute, then OnAttributesLoaded.
    virtual void Load(const TiXmlElement& element);
    virtual void OnAttributesLoaded() {}
    virtual HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) = 0;

protected:
    void LoadAttributes(const TiXmlElement& element);
};

}  // namespace ui
