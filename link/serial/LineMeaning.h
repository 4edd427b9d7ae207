#pragma once

// What a port is told besides the bytes of a line. Our own controller needs none of it; the
// ports that translate move lines into G-code read it.

// The rules by which a working window's move lines are meant and its replies read: what the
// line's third field is, and how much of the reply text a wait keeps.
enum class MoveRules {
    Milling,    // Form1: Z in grey levels × StepsPerGreyLevel; one reply text kept between waits
    Scanner,    // Form2: the reply text is emptied before every wait
    Engraving,  // Form3: raw third field; every wait reads into a fresh text, 2 ms pauses
    Outlining,  // Form5: raw third field; one reply text kept between waits
};

// What the port is told about the next move line: the rules of the window it comes from, and
// whether it is a manual move (millimetres on all three axes) rather than a line of a job.
struct LineMeaning {
    MoveRules rules = MoveRules::Milling;
    bool manual = false;
    // The change of the probed surface's height over the line, mm (up positive), which a port
    // that speaks G-code adds to the line's Z; our own controller has it in the line's steps.
    double surfaceMm = 0;
};

// How far a stop request has gone.
enum class StopLevel {
    None,
    Stop,     // finish the line in flight, leave the machine safe, end
    Abandon,  // end at once, whatever the machine is doing
};
