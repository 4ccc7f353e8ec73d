// Rectangles in surface pixels, right and bottom exclusive, as the platform's RECT.
#pragma once

#include <cstdint>

namespace sys::display
{

struct Rect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Fully inside a width x height area and not empty: the only rectangles blits accept.
    bool IsInside(uint32_t width, uint32_t height) const
    {
        return !IsEmpty() && left >= 0 && top >= 0 && right <= static_cast<int64_t>(width) &&
               bottom <= static_cast<int64_t>(height);
    }
    bool operator==(const Rect&) const = default;
};

inline Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return Rect{left, top, right, bottom};
}

} // namespace sys::display
