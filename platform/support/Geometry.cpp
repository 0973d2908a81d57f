#include "Rect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void BPoint::ConstrainTo(BRect r)
{
    x = std::clamp(x, r.left, std::max(r.left, r.right));
    y = std::clamp(y, r.top, std::max(r.top, r.bottom));
}

void BPoint::PrintToStream() const
{
    std::printf("BPoint(x:%.0f, y:%.0f)\n", x, y);
}

int32 BRect::IntegerWidth() const
{
    return int32(std::ceil(right - left));
}

int32 BRect::IntegerHeight() const
{
    return int32(std::ceil(bottom - top));
}

bool BRect::Contains(BPoint p) const
{
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
}

bool BRect::Contains(BRect r) const
{
    return IsValid() && r.IsValid() && r.left >= left && r.right <= right && r.top >= top
        && r.bottom <= bottom;
}

bool BRect::Intersects(BRect r) const
{
    return (*this & r).IsValid() && IsValid() && r.IsValid();
}

BRect& BRect::InsetBy(float dx, float dy)
{
    left += dx;
    right -= dx;
    top += dy;
    bottom -= dy;
    return *this;
}

BRect& BRect::OffsetBy(float dx, float dy)
{
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
    return *this;
}

BRect& BRect::OffsetTo(float x, float y)
{
    right += x - left;
    bottom += y - top;
    left = x;
    top = y;
    return *this;
}

BRect BRect::operator&(BRect r) const
{
    return BRect(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
        std::min(bottom, r.bottom));
}

BRect BRect::operator|(BRect r) const
{
    if (!r.IsValid())
        return *this;
    if (!IsValid())
        return r;
    return BRect(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
        std::max(bottom, r.bottom));
}

bool BRect::operator==(BRect r) const
{
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
}

void BRect::PrintToStream() const
{
    std::printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)\n", left, top, right, bottom);
}
