#pragma once

#include <QRect>
#include <QSize>
#include <array>

// Where the milling and outlining windows put their four picture boxes, and at what size they
// draw the picture. Lengths are in twips (1/1440 inch), the unit the layout rules were made in;
// a screen pixel is kTwipsPerPixel twips at 96 dots per inch. Picture sizes are in pixels.

inline constexpr int kTwipsPerPixel = 15;

// A window smaller than this is not laid out or drawn at all.
inline constexpr int kMinLayoutWidthTwips = 6000;
inline constexpr int kMinLayoutHeightTwips = 4000;
// The tab strip fills the window except the control panel (Frame2) and these margins.
inline constexpr int kTabStripWidthMarginTwips = 400;
inline constexpr int kTabStripHeightMarginTwips = 500;
// A tab strip wider and higher than this shows the four layers side by side.
inline constexpr int kFourViewMinimumTwips = 6000;
// Four views: each cell is half the tab strip less this margin; boxes start this far in...
inline constexpr int kBoxMarginTwips = 100;
// ...and the second column and row start this far past the first box.
inline constexpr int kSecondBoxOffsetTwips = 200;
// Tabs: the box is the tab strip less these margins, below the tabs.
inline constexpr int kTabCellWidthMarginTwips = 200;
inline constexpr int kTabCellHeightMarginTwips = 550;
inline constexpr int kTabBoxTopTwips = 500;

// Fits a cell (twips) to the picture's proportion: the relatively longer side of the cell is
// shortened (integer product, rounded half to even); then, if the picture would be drawn larger
// than one picture pixel per screen pixel, the size becomes exactly that. A cell or picture
// with a side below 1 gives an empty size.
QSize FitPictureSize(QSize cell, QSize picture, int twipsPerPixelX = kTwipsPerPixel,
                     int twipsPerPixelY = kTwipsPerPixel);

enum class PictureLayoutKind {
    NotLaidOut,  // window too small or no picture: nothing moves, nothing is drawn
    Tabs,        // one layer at a time, the one of the selected tab, under the tab strip
    FourViews,   // the four layers in a 2 × 2 grid; the tab strip is hidden
};

struct PictureLayoutInput {
    QSize window;          // the window's width and height, twips
    int frame2Width = 0;   // the control panel's width, twips
    int tabStripLeft = 0;  // twips
    QSize picture;         // pixels; empty when no picture is loaded
    int twipsPerPixelX = kTwipsPerPixel;
    int twipsPerPixelY = kTwipsPerPixel;
};

struct PictureLayout {
    PictureLayoutKind kind = PictureLayoutKind::NotLaidOut;
    QSize tabStrip;              // twips; its left and top stay as they are
    std::array<QRect, 4> boxes;  // Pict, Pict1, Pict2, Pict3 (layers 0..3), twips
    QSize drawSize;              // pixels: each layer is drawn stretched to this from its box's
                                 // top-left corner, kept in the picture's proportion
};

// Form_Resize's arithmetic: the layout for the window's current size and picture.
PictureLayout computePictureLayout(const PictureLayoutInput& input);

// A rectangle in twips as screen pixels, each value rounded half to even.
QRect twipsToPixels(const QRect& twips, int twipsPerPixelX = kTwipsPerPixel,
                    int twipsPerPixelY = kTwipsPerPixel);
