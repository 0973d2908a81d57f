#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <View.h>

#include "ViewHost.h"

using BPrivate::ViewHost;

namespace {

std::vector<std::string> gLog;

class LoggingView : public BView {
public:
    LoggingView(BRect frame, const char* name, uint32 mode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW)
        : BView(frame, name, mode, flags)
    {
    }
    ~LoggingView() override { gLog.push_back(std::string("deleted ") + Name()); }
    void AttachedToWindow() override { gLog.push_back(std::string("attached ") + Name()); }
    void AllAttached() override { gLog.push_back(std::string("all attached ") + Name()); }
    void DetachedFromWindow() override { gLog.push_back(std::string("detached ") + Name()); }
    void Draw(BRect update) override
    {
        draws++;
        lastUpdate = update;
    }
    void FrameResized(float w, float h) override { resized++; }

    int draws = 0;
    int resized = 0;
    BRect lastUpdate;
};

}  // namespace

TEST(ViewTree, ChildrenSiblingsAndFind)
{
    BView parent(BRect(0, 0, 99, 99), "parent", B_FOLLOW_NONE, 0);
    BView* a = new BView(BRect(0, 0, 9, 9), "a", B_FOLLOW_NONE, 0);
    BView* b = new BView(BRect(0, 0, 9, 9), "b", B_FOLLOW_NONE, 0);
    BView* c = new BView(BRect(0, 0, 9, 9), "c", B_FOLLOW_NONE, 0);
    BView* deep = new BView(BRect(0, 0, 1, 1), "deep", B_FOLLOW_NONE, 0);
    parent.AddChild(a);
    parent.AddChild(c);
    parent.AddChild(b, c);  // before c
    b->AddChild(deep);
    EXPECT_EQ(parent.CountChildren(), 3);
    EXPECT_EQ(parent.ChildAt(0), a);
    EXPECT_EQ(parent.ChildAt(1), b);
    EXPECT_EQ(parent.ChildAt(2), c);
    EXPECT_EQ(parent.ChildAt(3), nullptr);
    EXPECT_EQ(parent.ChildAt(-1), nullptr);
    EXPECT_EQ(a->NextSibling(), b);
    EXPECT_EQ(c->NextSibling(), nullptr);
    EXPECT_EQ(b->PreviousSibling(), a);
    EXPECT_EQ(deep->Parent(), b);
    EXPECT_EQ(parent.FindView("deep"), deep);
    EXPECT_EQ(parent.FindView("parent"), &parent);
    EXPECT_EQ(parent.FindView("none"), nullptr);
    EXPECT_EQ(parent.FindView(nullptr), nullptr);
    EXPECT_EQ(parent.Window(), nullptr);

    // A view already in a tree is not added a second time.
    BView other(BRect(0, 0, 1, 1), "other", B_FOLLOW_NONE, 0);
    other.AddChild(a);
    EXPECT_EQ(other.CountChildren(), 0);
    EXPECT_FALSE(other.RemoveChild(a));
    EXPECT_TRUE(parent.RemoveChild(a));
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(parent.ChildAt(0), b);
    delete a;
    // Deleting a child that is still in the tree takes it out first.
    delete c;
    EXPECT_EQ(parent.CountChildren(), 1);
}

// A view has one parent: adding one of its ancestors under it, or a view
// that another window holds, is refused and reported.
TEST(ViewTree, NoViewIsGivenASecondPlaceInATree)
{
    BView* top = new BView(BRect(0, 0, 99, 99), "top", B_FOLLOW_NONE, 0);
    BView* middle = new BView(BRect(0, 0, 9, 9), "middle", B_FOLLOW_NONE, 0);
    BView* leaf = new BView(BRect(0, 0, 1, 1), "leaf", B_FOLLOW_NONE, 0);
    top->AddChild(middle);
    middle->AddChild(leaf);
    ViewHost host(BRect(0, 0, 49, 49));

    testing::internal::CaptureStderr();
    leaf->AddChild(top);
    top->AddChild(top);
    middle->AddChild(middle);
    top->AddChild(host.TopView());
    const std::string reports = testing::internal::GetCapturedStderr();

    EXPECT_EQ(top->Parent(), nullptr);
    EXPECT_EQ(leaf->CountChildren(), 0);
    EXPECT_EQ(top->CountChildren(), 1);
    EXPECT_EQ(middle->CountChildren(), 1);
    EXPECT_EQ(host.TopView()->Parent(), nullptr);
    EXPECT_NE(reports.find("debugger: BView::AddChild"), std::string::npos) << reports;
    delete top;
}

TEST(ViewTree, DeletingAParentDeletesItsChildren)
{
    gLog.clear();
    auto* top = new LoggingView(BRect(0, 0, 9, 9), "top");
    top->AddChild(new LoggingView(BRect(0, 0, 1, 1), "one"));
    top->ChildAt(0)->AddChild(new LoggingView(BRect(0, 0, 1, 1), "two"));
    delete top;
    EXPECT_EQ(gLog, (std::vector<std::string>{"deleted top", "deleted one", "deleted two"}));
}

TEST(ViewTree, AttachHooksRunTopDownThenBottomUp)
{
    gLog.clear();
    ViewHost host(BRect(0, 0, 99, 99));
    auto* p = new LoggingView(BRect(0, 0, 50, 50), "p");
    p->AddChild(new LoggingView(BRect(0, 0, 5, 5), "c1"));
    p->AddChild(new LoggingView(BRect(0, 0, 5, 5), "c2"));
    host.TopView()->AddChild(p);
    EXPECT_EQ(gLog, (std::vector<std::string>{"attached p", "attached c1", "attached c2",
                        "all attached c1", "all attached c2", "all attached p"}));
    // A child added to an attached view is attached at once.
    gLog.clear();
    p->AddChild(new LoggingView(BRect(0, 0, 5, 5), "late"));
    EXPECT_EQ(gLog, (std::vector<std::string>{"attached late", "all attached late"}));
    gLog.clear();
    host.TopView()->RemoveChild(p);
    EXPECT_EQ(gLog.front(), "detached p");
    EXPECT_EQ(p->ChildAt(0)->Window(), nullptr);
    delete p;
}

TEST(ViewGeometry, FrameBoundsAndConversion)
{
    BView parent(BRect(10, 20, 109, 69), "parent", B_FOLLOW_NONE, 0);
    BView* child = new BView(BRect(5, 5, 14, 9), "child", B_FOLLOW_NONE, 0);
    parent.AddChild(child);
    EXPECT_EQ(parent.Bounds(), BRect(0, 0, 99, 49));
    EXPECT_EQ(child->ConvertToParent(BPoint(1, 1)), BPoint(6, 6));
    EXPECT_EQ(child->ConvertToWindow(BPoint(0, 0)), BPoint(15, 25));
    EXPECT_EQ(child->ConvertFromWindow(BPoint(15, 25)), B_ORIGIN);
    child->MoveBy(10, 0);
    EXPECT_EQ(child->Frame(), BRect(15, 5, 24, 9));
    child->ResizeBy(5, 5);
    EXPECT_EQ(child->Frame(), BRect(15, 5, 29, 14));
    child->ResizeTo(-5, 3);  // no negative sizes
    EXPECT_EQ(child->Frame(), BRect(15, 5, 15, 8));
}

TEST(ViewGeometry, ChildrenFollowTheirResizingModes)
{
    BView parent(BRect(0, 0, 100, 100), "parent", B_FOLLOW_NONE, 0);
    struct Case {
        uint32 mode;
        BRect after;
    } cases[] = {
        {B_FOLLOW_NONE, BRect(10, 10, 20, 20)},
        {B_FOLLOW_LEFT | B_FOLLOW_TOP, BRect(10, 10, 20, 20)},
        {B_FOLLOW_RIGHT | B_FOLLOW_TOP, BRect(60, 10, 70, 20)},
        {B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, BRect(10, 10, 70, 20)},
        {B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER, BRect(35, 20, 45, 30)},
        {B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, BRect(10, 30, 20, 40)},
        {B_FOLLOW_ALL, BRect(10, 10, 70, 40)},
        {B_FOLLOW_TOP_BOTTOM | B_FOLLOW_RIGHT, BRect(60, 10, 70, 40)},
    };
    std::vector<BView*> children;
    for (const Case& c : cases) {
        children.push_back(new BView(BRect(10, 10, 20, 20), "c", c.mode, 0));
        parent.AddChild(children.back());
    }
    parent.ResizeBy(50, 20);
    for (size_t i = 0; i < children.size(); i++)
        EXPECT_EQ(children[i]->Frame(), cases[i].after) << "case " << i;
    // Shrinking back restores them exactly.
    parent.ResizeBy(-50, -20);
    for (BView* c : children)
        EXPECT_EQ(c->Frame(), BRect(10, 10, 20, 20));
}

TEST(ViewGeometry, ResizingReachesGrandchildrenAndFrameEvents)
{
    BView top(BRect(0, 0, 100, 100), "top", B_FOLLOW_NONE, 0);
    auto* middle = new LoggingView(BRect(0, 0, 100, 100), "middle", B_FOLLOW_ALL, B_FRAME_EVENTS);
    auto* inner = new LoggingView(BRect(50, 50, 90, 90), "inner", B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, 0);
    top.AddChild(middle);
    middle->AddChild(inner);
    top.ResizeTo(120, 110);
    EXPECT_EQ(middle->Frame(), BRect(0, 0, 120, 110));
    EXPECT_EQ(inner->Frame(), BRect(70, 60, 110, 100));
    EXPECT_EQ(middle->resized, 1);
    EXPECT_EQ(inner->resized, 0);  // it moved, and has no frame events anyway
}

namespace {

const rgb_color kRed = make_color(255, 0, 0);
const rgb_color kBlue = make_color(0, 0, 255);

}  // namespace

TEST(ViewDrawing, ViewColourChildrenClippingAndHiding)
{
    ViewHost host(BRect(0, 0, 39, 39));
    BView* outer = new BView(BRect(10, 10, 19, 19), "outer", B_FOLLOW_NONE, 0);
    outer->SetViewColor(kRed);
    // The child reaches beyond its parent: only the inside shows.
    BView* inner = new BView(BRect(5, 5, 30, 30), "inner", B_FOLLOW_NONE, 0);
    inner->SetViewColor(kBlue);
    host.TopView()->AddChild(outer);
    outer->AddChild(inner);
    host.UpdateIfNeeded();
    auto& s = host.GetSurface();
    EXPECT_EQ(s.PixelAt(10, 10), kRed);
    EXPECT_EQ(s.PixelAt(14, 14), kRed);
    EXPECT_EQ(s.PixelAt(15, 15), kBlue);
    EXPECT_EQ(s.PixelAt(19, 19), kBlue);
    EXPECT_EQ(s.PixelAt(20, 20), ui_color(B_PANEL_BACKGROUND_COLOR));
    EXPECT_EQ(s.PixelAt(9, 9), ui_color(B_PANEL_BACKGROUND_COLOR));

    inner->Hide();
    EXPECT_TRUE(inner->IsHidden());
    host.UpdateIfNeeded();
    EXPECT_EQ(s.PixelAt(15, 15), kRed);
    outer->Hide();
    host.UpdateIfNeeded();
    EXPECT_EQ(s.PixelAt(12, 12), ui_color(B_PANEL_BACKGROUND_COLOR));
    outer->Show();
    inner->Show();
    host.UpdateIfNeeded();
    EXPECT_EQ(s.PixelAt(15, 15), kBlue);
}

TEST(ViewDrawing, InvalidateRedrawsOnlyWhatIsMarked)
{
    ViewHost host(BRect(0, 0, 99, 99));
    auto* a = new LoggingView(BRect(0, 0, 49, 49), "a");
    auto* b = new LoggingView(BRect(50, 50, 99, 99), "b");
    host.TopView()->AddChild(a);
    host.TopView()->AddChild(b);
    host.UpdateIfNeeded();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    EXPECT_FALSE(host.NeedsUpdate());
    host.UpdateIfNeeded();
    EXPECT_EQ(a->draws, 1);

    a->Invalidate(BRect(10, 10, 19, 19));
    EXPECT_TRUE(host.NeedsUpdate());
    host.UpdateIfNeeded();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(a->lastUpdate, BRect(10, 10, 19, 19));
    // In b's own coordinates.
    b->Invalidate(BRect(0, 0, 4, 4));
    host.UpdateIfNeeded();
    EXPECT_EQ(b->lastUpdate, BRect(0, 0, 4, 4));
    EXPECT_EQ(a->draws, 2);
}

namespace {

class PaintingView : public BView {
public:
    PaintingView(BRect frame) : BView(frame, "painter", B_FOLLOW_NONE, B_WILL_DRAW) {}
    void Draw(BRect) override
    {
        SetHighColor(kRed);
        FillRect(BRect(-10, -10, 100, 100));  // clipped to the view
        SetHighColor(kBlue);
        StrokeLine(BPoint(0, 0), BPoint(4, 0));
        BBitmap* none = nullptr;
        DrawBitmap(none, BPoint(0, 0));
    }
};

}  // namespace

TEST(ViewDrawing, DrawingStaysInsideTheView)
{
    ViewHost host(BRect(0, 0, 29, 29));
    host.TopView()->AddChild(new PaintingView(BRect(10, 10, 14, 14)));
    host.UpdateIfNeeded();
    auto& s = host.GetSurface();
    EXPECT_EQ(s.PixelAt(10, 10), kBlue);
    EXPECT_EQ(s.PixelAt(14, 10), kBlue);
    EXPECT_EQ(s.PixelAt(14, 14), kRed);
    EXPECT_EQ(s.PixelAt(15, 14), ui_color(B_PANEL_BACKGROUND_COLOR));
    EXPECT_EQ(s.PixelAt(9, 10), ui_color(B_PANEL_BACKGROUND_COLOR));
}

TEST(ViewInput, FocusHitTestingAndCapture)
{
    ViewHost host(BRect(0, 0, 99, 99));
    BView* a = new BView(BRect(0, 0, 49, 49), "a", B_FOLLOW_NONE, 0);
    BView* inner = new BView(BRect(10, 10, 19, 19), "inner", B_FOLLOW_NONE, 0);
    BView* b = new BView(BRect(40, 40, 59, 59), "b", B_FOLLOW_NONE, 0);
    host.TopView()->AddChild(a);
    a->AddChild(inner);
    host.TopView()->AddChild(b);
    EXPECT_EQ(host.MouseTarget(BPoint(15, 15)), inner);
    EXPECT_EQ(host.MouseTarget(BPoint(45, 45)), b);  // later sibling on top
    EXPECT_EQ(host.MouseTarget(BPoint(5, 5)), a);
    b->Hide();
    EXPECT_EQ(host.MouseTarget(BPoint(45, 45)), a);
    b->Show();

    EXPECT_EQ(inner->SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY), B_OK);
    EXPECT_EQ(host.MouseTarget(BPoint(90, 90)), inner);
    host.SetMouseCapture(nullptr);

    inner->MakeFocus();
    EXPECT_TRUE(inner->IsFocus());
    EXPECT_EQ(host.Focus(), inner);
    b->MakeFocus(false);  // not the focus: nothing changes
    EXPECT_EQ(host.Focus(), inner);
    a->Hide();  // hiding an ancestor takes the focus away
    EXPECT_EQ(host.Focus(), nullptr);
    a->Show();
    b->MakeFocus();
    host.TopView()->RemoveChild(b);
    EXPECT_EQ(host.Focus(), nullptr);
    EXPECT_FALSE(b->IsFocus());
    delete b;

    BView loose(BRect(0, 0, 1, 1), "loose", B_FOLLOW_NONE, 0);
    loose.MakeFocus();
    EXPECT_FALSE(loose.IsFocus());
    EXPECT_EQ(loose.SetMouseEventMask(B_POINTER_EVENTS), B_ERROR);
}
