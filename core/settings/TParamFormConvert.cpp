#include "settings/TParamFormConvert.h"

#include <algorithm>
#include <string>

#include "settings/TIniDocument.h"

namespace {

constexpr const char* kSection = "FORM_CONVERT";

std::string WidthKey(int i) {
    return "GridWidth" + std::to_string(i);
}

}  // namespace

void TParamFormConvert::SetScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

void TParamFormConvert::Reset() {
    width_ = screenWidth_ / 2;
    height_ = screenHeight_ / 2;
    left_ = (screenWidth_ - width_) / 2;
    top_ = (screenHeight_ - height_) / 2;
    widths_.clear();
    keepColumnWidths_ = false;
    keepWindowSize_ = false;
}

void TParamFormConvert::StoreGeometry(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

int TParamFormConvert::GetColumnWidth(int index) const {
    if (index >= 0 && static_cast<std::size_t>(index) < widths_.size() && widths_[index] != 0) {
        return widths_[index];
    }
    return index == 0 ? DefaultFirstColumnWidth : DefaultColumnWidth;
}

void TParamFormConvert::LoadFrom(const TIniDocument& ini) {
    Reset();
    keepWindowSize_ = ini.ReadBool(kSection, "ConvertFormSize", false);
    if (keepWindowSize_) {
        left_ = ini.ReadInteger(kSection, "WindowLeft", left_);
        top_ = ini.ReadInteger(kSection, "WindowTop", top_);
        height_ = ini.ReadInteger(kSection, "WindowHeight", height_);
        width_ = ini.ReadInteger(kSection, "WindowWidth", width_);
    }
    keepColumnWidths_ = ini.ReadBool(kSection, "ConvertFormColSize", false);
    widths_.clear();
    if (keepColumnWidths_) {
        const int count = std::min(ini.ReadInteger(kSection, "GridCellCount", 0), MaxStoredWidths);
        for (int i = 0; i < count; ++i) {
            widths_.push_back(ini.ReadInteger(kSection, WidthKey(i), DefaultColumnWidth));
        }
    }
}

void TParamFormConvert::SaveTo(TIniDocument& ini) const {
    ini.WriteBool(kSection, "ConvertFormSize", keepWindowSize_);
    if (keepWindowSize_) {
        ini.WriteInteger(kSection, "WindowLeft", left_);
        ini.WriteInteger(kSection, "WindowTop", top_);
        ini.WriteInteger(kSection, "WindowHeight", height_);
        ini.WriteInteger(kSection, "WindowWidth", width_);
    }
    ini.WriteBool(kSection, "ConvertFormColSize", keepColumnWidths_);
    if (keepColumnWidths_) {
        ini.WriteInteger(kSection, "GridCellCount", static_cast<int>(widths_.size()));
        for (std::size_t i = 0; i < widths_.size(); ++i) {
            ini.WriteInteger(kSection, WidthKey(static_cast<int>(i)),
                             widths_[i] != 0 ? widths_[i] : DefaultColumnWidth);
        }
    }
}
