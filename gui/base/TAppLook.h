#pragma once
// The look of the whole program. On a desktop the platform's own style,
// palette, font and icon theme stay. Without one (the offscreen platform of
// tests, screenshots and unattended runs) the program looks like a plain
// desktop: the Fusion style and a proportional Japanese UI font.

class TAppLook {
  public:
    static constexpr int DefaultPixelSize = 13;

    // Call once, after the QApplication exists. `pixelSize`: of the fallback
    // font.
    static void Apply(int pixelSize = DefaultPixelSize);
    // The UI font family used when the platform gives none.
    static const char* FallbackFontFamily() { return "IPAPGothic"; }
};
