// BRect and BPoint, in the support kit: this program links no interface
// kit, so their members must be in the core.
#include <gtest/gtest.h>

#include <Rect.h>

TEST(Rect, EdgesAreInclusive)
{
    BRect r(0, 0, 9, 9);
    EXPECT_FLOAT_EQ(r.Width(), 9);
    EXPECT_EQ(r.IntegerWidth(), 9);
    EXPECT_TRUE(r.Contains(BPoint(9, 9)));
    EXPECT_TRUE(r.Contains(BPoint(0, 0)));
    EXPECT_FALSE(r.Contains(BPoint(9.5f, 0)));
    EXPECT_FALSE(r.Contains(BPoint(-0.5f, 0)));
    // A single pixel is a valid rectangle of width 0.
    BRect pixel(3, 3, 3, 3);
    EXPECT_TRUE(pixel.IsValid());
    EXPECT_TRUE(pixel.Contains(BPoint(3, 3)));
}

TEST(Rect, DefaultIsInvalidAndIgnoredByUnion)
{
    BRect none;
    EXPECT_FALSE(none.IsValid());
    BRect r(5, 6, 7, 8);
    EXPECT_EQ(none | r, r);
    EXPECT_EQ(r | none, r);
    EXPECT_FALSE(none.Intersects(r));
    EXPECT_FALSE(r.Contains(none));
}

TEST(Rect, IntersectionOfTouchingAndDisjointRectangles)
{
    BRect a(0, 0, 9, 9);
    // Sharing the edge pixel row and column: they meet in one pixel.
    EXPECT_EQ(a & BRect(9, 9, 20, 20), BRect(9, 9, 9, 9));
    EXPECT_TRUE(a.Intersects(BRect(9, 9, 20, 20)));
    // The next pixel over does not meet.
    EXPECT_FALSE((a & BRect(10, 0, 20, 9)).IsValid());
    EXPECT_FALSE(a.Intersects(BRect(10, 0, 20, 9)));
    EXPECT_EQ(a | BRect(20, -5, 30, 2), BRect(0, -5, 30, 9));
}

TEST(Rect, OffsetAndInsetKeepOrChangeSize)
{
    BRect r(10, 20, 30, 25);
    EXPECT_EQ(r.OffsetToCopy(0, 0), BRect(0, 0, 20, 5));
    EXPECT_EQ(r.OffsetByCopy(-10, 5), BRect(0, 25, 20, 30));
    EXPECT_EQ(r.InsetByCopy(2, 1), BRect(12, 21, 28, 24));
    EXPECT_EQ(r.InsetByCopy(-1, -1), BRect(9, 19, 31, 26));
    // Insetting past the middle gives an invalid rectangle, not a crash.
    EXPECT_FALSE(r.InsetByCopy(11, 0).IsValid());
    EXPECT_TRUE(r.Contains(BRect(10, 20, 30, 25)));
    EXPECT_FALSE(r.Contains(BRect(10, 20, 31, 25)));
}

TEST(Point, ArithmeticAndConstraint)
{
    BPoint p(3, 4);
    EXPECT_EQ(p + BPoint(1, 1), BPoint(4, 5));
    EXPECT_EQ(p - BPoint(3, 4), B_ORIGIN);
    EXPECT_EQ(-p, BPoint(-3, -4));
    BPoint q(-5, 50);
    q.ConstrainTo(BRect(0, 0, 10, 10));
    EXPECT_EQ(q, BPoint(0, 10));
}
