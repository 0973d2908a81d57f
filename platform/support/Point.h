// A point in view or screen coordinates. Coordinates are floats; integral
// values name pixel centres.
#pragma once

#include <SupportDefs.h>

class BRect;

class BPoint {
public:
    float x;
    float y;

    constexpr BPoint() : x(0.0f), y(0.0f) {}
    constexpr BPoint(float px, float py) : x(px), y(py) {}

    void Set(float px, float py) { x = px; y = py; }
    // Moves the point to the nearest place inside r.
    void ConstrainTo(BRect r);
    void PrintToStream() const;

    BPoint operator-() const { return BPoint(-x, -y); }
    BPoint operator+(const BPoint& p) const { return BPoint(x + p.x, y + p.y); }
    BPoint operator-(const BPoint& p) const { return BPoint(x - p.x, y - p.y); }
    BPoint& operator+=(const BPoint& p) { x += p.x; y += p.y; return *this; }
    BPoint& operator-=(const BPoint& p) { x -= p.x; y -= p.y; return *this; }
    bool operator==(const BPoint& p) const { return x == p.x && y == p.y; }
    bool operator!=(const BPoint& p) const { return !(*this == p); }
};

inline constexpr BPoint B_ORIGIN(0.0f, 0.0f);
