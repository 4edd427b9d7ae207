#pragma once

// The working window that a move line comes from; it decides what the line's third field means.
enum class MoveWindow {
    Milling,    // Form1: Z in grey levels × StepsPerGreyLevel; one reply text kept between waits
    Scanner,    // Form2: the reply text is emptied before every wait
    Engraving,  // Form3: raw third field; every wait reads into a fresh text, 2 ms pauses
    Outlining,  // Form5: raw third field; one reply text kept between waits
};

// What the port is told about the next move line: the window it comes from, and whether it is
// a manual move (millimetres on all three axes) rather than a line of a job.
struct LineMeaning {
    MoveWindow window = MoveWindow::Milling;
    bool manual = false;
};
