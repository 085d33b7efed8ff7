#pragma once
// The look of the whole program. On a desktop the platform's own style,
// palette, font and icon theme stay. Without one (the offscreen platform of
// tests, screenshots and unattended runs) the program looks like a plain
// desktop: the Fusion style and a proportional Japanese UI font.

class TAppLook {
  public:
    // Call once, after the QApplication exists.
    static void Apply();
    // The UI font family used when the platform gives none.
    static const char* FallbackFontFamily() { return "IPAPGothic"; }
};
