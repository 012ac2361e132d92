// Which element a layout tag makes. The tag factory knows the tags of the
// program's windows and makes their controls; every other tag of the
// library's vocabulary goes to the fallback CLxControlCreator, which knows it
// by name and makes a plain element that keeps its attributes and draws its
// background. A tag that neither knows is skipped with its subtree.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/elements/LxDialog.h"
#include "ui/elements/LxWindow.h"

namespace ui {

// A plain element standing in for a control this library does not draw.
class CLxGenericElement : public CLxWindow {
public:
    CLxGenericElement(std::string_view tag, const char* className) : tag_(tag), className_(className) {}
    const char* GetObjectClass() const override { return tag_.c_str(); }
    // The library's class that the tag names ("CLxButton", ...).
    const char* ControlClass() const { return className_; }
    // Generic attributes as any element; every other one is kept.
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    std::string_view Kept(std::string_view name) const;

private:
    std::string tag_;
    const char* className_;
    std::map<std::string, std::string, std::less<>> kept_;
};

// The fallback factory: every tag of the vocabulary by name.
class CLxControlCreator : public ILxControlCreator {
public:
    static CLxControlCreator& Instance();
    std::unique_ptr<CLxWindow> CreateControl(std::string_view tag) override;
    // Every tag of the vocabulary, in the order of testing.
    static const std::vector<std::string_view>& Tags();
    // The library class a tag names, or null for an unknown tag.
    static const char* ClassOf(std::string_view tag);
};

// The containers' own factory ("dlg", "text", "img", "progress", "imgbtn",
// "dlgbtn", "dlgbtnEx2", "expendimgex2"), falling back to another creator
// for other tags.
class LxTagFactory : public ILxControlCreator {
public:
    // The factory that layouts use unless a host sets its own.
    static LxTagFactory& Default();
    explicit LxTagFactory(ILxControlCreator* fallback = &CLxControlCreator::Instance()) : fallback_(fallback) {}
    std::unique_ptr<CLxWindow> CreateControl(std::string_view tag) override;
    void SetFallback(ILxControlCreator* fallback) { fallback_ = fallback; }

private:
    ILxControlCreator* fallback_;
};

}  // namespace ui
