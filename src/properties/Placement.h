#pragma once
// The Placement page's arithmetic, in twips: how a left/right adjustment spreads over the
// coarse and the fine slider, and the sliders' ranges.
namespace quavix::placement {

inline constexpr int CoarseLimit = 10000; // coarse slider: -10000 .. 10000
inline constexpr int FineLimit = 250;     // fine and vertical sliders: -250 .. 250
inline constexpr int SmallStep = 1, LargeStep = 5;

struct Horizontal {
    int coarse = 0, fine = 0;
};

// A value of 250 or more either way goes to the coarse slider (clamped to its range), a
// smaller one to the fine slider; the other slider is 0.
Horizontal splitHorizontal(long long leftRight);
// The vertical slider's value for a stored up/down adjustment, clamped to its range.
int vertical(long long upDown);
// What OK stores as the left/right adjustment.
inline int combined(const Horizontal& h)
{
    return h.coarse + h.fine;
}

} // namespace quavix::placement
