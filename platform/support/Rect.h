// A rectangle with inclusive edges: BRect(0, 0, 9, 9) covers 10 x 10 pixels,
// and Width() is right - left (9 there). A rectangle whose right is below its
// left (or bottom above top) is invalid; the default one is (0, 0, -1, -1).
#pragma once

#include <SupportDefs.h>

#include "Point.h"

class BRect {
public:
    float left;
    float top;
    float right;
    float bottom;

    constexpr BRect() : left(0), top(0), right(-1), bottom(-1) {}
    constexpr BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    constexpr BRect(BPoint leftTop, BPoint rightBottom)
        : left(leftTop.x), top(leftTop.y), right(rightBottom.x), bottom(rightBottom.y) {}

    void Set(float l, float t, float r, float b) { left = l; top = t; right = r; bottom = b; }

    BPoint LeftTop() const { return BPoint(left, top); }
    BPoint RightBottom() const { return BPoint(right, bottom); }
    BPoint LeftBottom() const { return BPoint(left, bottom); }
    BPoint RightTop() const { return BPoint(right, top); }
    void SetLeftTop(BPoint p) { left = p.x; top = p.y; }
    void SetRightBottom(BPoint p) { right = p.x; bottom = p.y; }

    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    int32 IntegerWidth() const;
    int32 IntegerHeight() const;

    bool IsValid() const { return left <= right && top <= bottom; }
    bool Contains(BPoint p) const;
    bool Contains(BRect r) const;
    bool Intersects(BRect r) const;

    BRect& InsetBy(float dx, float dy);
    BRect& InsetBy(BPoint p) { return InsetBy(p.x, p.y); }
    BRect& OffsetBy(float dx, float dy);
    BRect& OffsetBy(BPoint p) { return OffsetBy(p.x, p.y); }
    BRect& OffsetTo(float x, float y);
    BRect& OffsetTo(BPoint p) { return OffsetTo(p.x, p.y); }
    BRect InsetByCopy(float dx, float dy) const { BRect r(*this); return r.InsetBy(dx, dy); }
    BRect OffsetByCopy(float dx, float dy) const { BRect r(*this); return r.OffsetBy(dx, dy); }
    BRect OffsetToCopy(float x, float y) const { BRect r(*this); return r.OffsetTo(x, y); }
    BRect OffsetToCopy(BPoint p) const { return OffsetToCopy(p.x, p.y); }

    // Intersection; invalid when the two do not meet.
    BRect operator&(BRect r) const;
    // Smallest rectangle holding both; an invalid operand is ignored.
    BRect operator|(BRect r) const;
    bool operator==(BRect r) const;
    bool operator!=(BRect r) const { return !(*this == r); }

    void PrintToStream() const;
};
