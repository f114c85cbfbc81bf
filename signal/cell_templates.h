#pragma once
// Where a worn or misaligned head takes the high tone far below the low one, no ratio of
// the two levels tells the cells apart: the decoder then learns templates, each tone's
// mean level in high cells and in low cells, and tells a cell by which it lies nearer.

// Each tone's mean level in the cells of either tone; zero until measured.
struct Templates {
    double highInHigh, lowInHigh, highInLow, lowInLow;
};

// The templates of all cells, and of the cells after a low and after a high one: a low
// cell rings on into the next where the channel smears the tones.
struct Channel {
    Templates any;
    Templates after[2];
};

// The contrast of cells told by the templates: a high * (level of the high tone) -
// b * (level of the low tone) + offset, +1 at a typical high cell, -1 at a typical low one.
struct Discriminant {
    double a, b, offset;
};

// The contrast a discriminant gives a cell (high - low levels as above), held to -1 ... +1.
double told(const Discriminant& q, double high, double low);
// The discriminant of `m`; false where the templates do not tell the cells apart.
bool discriminantOf(const Templates& m, Discriminant& q);
// A cell of levels h and l, whose tone is high or not, moves the templates of its tone
// by `share`, and those after its previous cell where that one's tone is known.
void followCell(Channel& m, double share, double h, double l, bool high, bool previousKnown, bool previousHigh);
