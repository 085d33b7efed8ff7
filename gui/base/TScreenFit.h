#pragma once
// Keeps a window inside the available area of its screen (without panels
// and docks): never larger, title bar and status line on screen. At 200%
// scaling a window's layout may ask for more than a small screen has; the
// window then gets the screen's size and its layout shrinks what it can.

class QWidget;

class TScreenFit {
  public:
    // Shrinks `window` (and its minimum size) to the available area and
    // moves it back inside that area.
    static void Fit(QWidget& window);
};
