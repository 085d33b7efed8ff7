#pragma once
// Where the result window stood and how wide its columns were: part of a
// project (TProject), kept in the project file's "FORM_CONVERT" section. The
// core knows no screen: the host tells it the screen size that the defaults
// are derived from.

#include <vector>

class TIniDocument;

class TParamFormConvert {
  public:
    static constexpr int DefaultColumnWidth = 100;
    static constexpr int DefaultFirstColumnWidth = 50;
    // The grid never has more columns than this (256 parameters and the
    // number column); a damaged count in a file reads no further.
    static constexpr int MaxStoredWidths = 257;

    TParamFormConvert() { Reset(); }

    // Used by the next Reset() and Load().
    void SetScreenSize(int width, int height);
    void Reset();

    int GetLeft() const { return left_; }
    int GetTop() const { return top_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    void StoreGeometry(int left, int top, int width, int height);

    // The stored width, or the default when none (or 0) is stored.
    int GetColumnWidth(int index) const;
    const std::vector<int>& GetColumnWidths() const { return widths_; }
    void StoreColumnWidths(const std::vector<int>& widths) { widths_ = widths; }

    bool GetKeepColumnWidths() const { return keepColumnWidths_; }
    void SetKeepColumnWidths(bool v) { keepColumnWidths_ = v; }
    bool GetKeepWindowSize() const { return keepWindowSize_; }
    void SetKeepWindowSize(bool v) { keepWindowSize_ = v; }

    // Reads or updates the section of a project's INI text. Keys the flags
    // leave unwritten keep what the file holds.
    void LoadFrom(const TIniDocument& ini);
    void SaveTo(TIniDocument& ini) const;

  private:
    int screenWidth_ = 1024;
    int screenHeight_ = 768;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<int> widths_;
    bool keepColumnWidths_ = false;
    bool keepWindowSize_ = false;
};
