// "progress": a track and a bar growing with the value, with an optional
// percentage text in two colours, or a marquee block moving on every paint.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/elements/LxWindow.h"

namespace ui {

class CLxSkinBase;

class CLxProgress : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "progress"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    uint32_t Min() const { return min_; }
    uint32_t Max() const { return max_; }
    uint32_t Value() const { return value_; }
    // Unless min equals max: swaps them when max is below min and clamps the
    // value into the range, storing both. The three are compared as unsigned
    // numbers, as the attributes store them.
    void Normalize();
    // The filled part of `length`: the truncation of length x fraction,
    // computed exactly; 0 when min equals max.
    int FilledLength(int length);
    // The truncated fraction in per cent.
    int Percent() { return FilledLength(kPercentScale); }
    // Where the marquee block starts, from the left of the track's lane.
    int MarqueeOffset() const { return marqueeOffset_; }

    static constexpr int kPercentScale = 100;

protected:
    void OnPaint(HDC dc, HRGN region) override;

private:
    // The track less the bar's insets (the pos skin's, else 2 on each side).
    RECT Lane(const RECT& track, CLxSkinBase* pos);
    void DrawMarquee(HDC dc, const RECT& lane);

    std::string bgSkin_;
    std::string posSkin_;
    int skinPosX_ = 2;
    uint32_t min_ = 0;
    uint32_t max_ = 0;
    uint32_t value_ = 0;
    int showPercent_ = 0;
    int marquee_ = 0;
    int marqueeOffset_ = 0;
};

}  // namespace ui
