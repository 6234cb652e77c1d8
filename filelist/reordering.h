#pragma once

// Reordering entries by dragging them inside the list.
namespace Reordering {

// Screen rows (pixels from the top of the screen) that bound the band in which an exchange
// does not scroll the list.
inline constexpr int ScrollUpBelowRow = 305;
inline constexpr int ScrollDownAboveRow = 364;

// The position to scroll into view after an exchange that left the dragged entry at
// hitPosition (1-based) with the pointer at the screen row screenY, or 0 for no scrolling.
constexpr int ScrollTarget(int screenY, int hitPosition, int count)
{
    if (screenY < ScrollUpBelowRow)
        return hitPosition >= 2 ? hitPosition - 1 : 0;
    if (screenY > ScrollDownAboveRow)
        return count >= hitPosition + 1 ? hitPosition + 1 : 0;
    return 0;
}

} // namespace Reordering
