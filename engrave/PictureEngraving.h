#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>

#include "figures/PixelBuffer.h"
#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"

// The engraving window's job: a greyscale picture burnt pixel by pixel with the laser.

// What a job on a picture has to do, counted before it starts.
struct EngravingCounts {
    int rows = 0;                 // the picture's height: every row is walked
    std::int64_t burntTotal = 0;  // pixels whose first byte is not 255: one move line each
};

// Counts the rows and the pixels to burn (first byte below 255) of `picture`.
EngravingCounts countEngraving(const PixelBuffer& picture);

// How far a job came; filled in as the job goes, so it is also valid after the job ended by
// throwing.
struct EngravingState {
    EngravingCounts counts;
    int row = 0;             // the row being walked, 1-based; 0 before the first
    std::int64_t burnt = 0;  // pixels burnt so far
    QPoint last{1, 1};       // the last burnt pixel, where the laser stands (1-based)
};

// "Гравировать": sends the opening line 0,0,-N (N = StepsPerPixelX of the finished width), then
// walks the rows top to bottom, odd rows left to right and even rows right to left. A white
// pixel (first byte 255) sends nothing; any other sends one awaited move from the last burnt
// pixel to it carrying 255 - v in the third field, and its red byte in `picture` becomes 255.
// Changed pixels are handed to host.redraw in coalesced rectangles, and events run at most every
// kEngravingFrameMs, so a dry run costs O(1) per pixel. Progress goes to host.reportProgress.
// Ends with "Гравировка закончена!" (title "Лазерная гравировка") through host.showMessage,
// followed on a line of its own by dryRunNote() when no line went to the machine.
//
// Before anything is sent, throws JobEnded(Refused) when there is no picture, when the width is
// not a number or not above 0, when it gives 0 steps per pixel on X or Y, or when a move across
// the picture would not fit 32 bits. "Стоп" ends the job before its next line with
// JobEnded(Stopped) naming the row and pixel the laser stands over; an abandoned or unanswered
// job ends as MoveProtocol's waits end it.
//
// Each row y (1-based, from the top) is a section of the job (MoveProtocol::beginSection); the
// opening line comes before row 1.
//
// `surfaceChange`, when given, is the probed surface's change in mm between two pixels, added
// to each move for the laser's Z (the G-code ports move Z by it; our own controller's laser
// lines have no Z).
using SurfaceChange = std::function<double(QPoint from, QPoint to)>;
void EngravePicture(PixelBuffer& picture, JobHost& host, MoveProtocol& protocol,
                    EngravingState* state = nullptr, const SurfaceChange& surfaceChange = {});

// How often a running job lets the window's events run and repaint, in milliseconds.
inline constexpr int kEngravingFrameMs = 15;

// "Гравировка закончена!", shown under kEngravingTitle.
QString engravingDoneMessage();
