#pragma once

// Where the About window goes: centred on the main window, worked out in twips and
// single precision from both windows' outer (frame-inclusive) sizes. Nothing keeps
// the result on the screen.

namespace quillvane {

inline constexpr float kTwipsPerPixel = 15.0f;

struct TwipsRect {
    float left;
    float top;
    float width;
    float height;
};

struct TwipsPoint {
    float left;
    float top;
};

TwipsPoint CentreOver(const TwipsRect& mainWindow, float aboutWidth, float aboutHeight);

} // namespace quillvane
