#include "resize.h"

#include <gtest/gtest.h>
#include <vector>

using namespace tb;

namespace {
struct FakeControl : ResizeControl {
    QString n;
    int l, t, w, h;
    bool line = false;
    FakeControl(QString name, int left, int top, int width, int height)
        : n(std::move(name)), l(left), t(top), w(width), h(height) {}
    QString name() const override { return n; }
    bool isLine() const override { return line; }
    int left() const override { return l; }
    int top() const override { return t; }
    int width() const override { return w; }
    int height() const override { return h; }
    void setGeometry(int a, int b, int c, int d) override { l = a, t = b, w = c, h = d; }
};
struct FakeWindow : ResizeWindow {
    int iw = 1000, ih = 600, topPos = 10;
    bool visible = true;
    std::vector<FakeControl> controls;
    QString name() const override { return "Haupt"; }
    int left() const override { return 0; }
    int top() const override { return topPos; }
    int width() const override { return iw + 8; }
    int height() const override { return ih + 30; }
    int innerWidth() const override { return iw; }
    int innerHeight() const override { return ih; }
    bool isVisible() const override { return visible; }
    void setVisible(bool v) override { visible = v; }
    int controlCount() const override { return static_cast<int>(controls.size()); }
    ResizeControl& control(int i) override { return controls[static_cast<size_t>(i)]; }
};
} // namespace

TEST(Resize, SameSizeKeepsDoubleWidthDoubles) {
    FakeWindow win;
    win.controls = {{"a", 101, 50, 333, 20}, {"b", -75000 + 600, 40, 100, 20}};
    Resize r(768);
    r.resizeWindow(win);
    EXPECT_EQ(win.controls[0].l, 101);
    EXPECT_EQ(win.controls[0].w, 333);
    EXPECT_EQ(win.controls[1].l, -75000 + 600);
    win.iw = 2000;
    r.resizeWindow(win);
    EXPECT_EQ(win.controls[0].l, 202);
    EXPECT_EQ(win.controls[0].w, 666);
    EXPECT_EQ(win.controls[0].t, 50);
    EXPECT_EQ(win.controls[1].l, -75000 + 1200); // parked controls stay parked
    win.iw = 1499;
    EXPECT_EQ(r.widthPercent(win), 149); // whole-number percentages, rounded down
}

TEST(Resize, SmallScreenScalesHeightsTo79Percent) {
    FakeWindow win;
    win.controls = {{"a", 0, 100, 50, 100}};
    Resize r(600);
    r.resizeWindow(win);
    EXPECT_EQ(r.heightPercent(win), 79);
    EXPECT_EQ(win.controls[0].t, 79);
    EXPECT_EQ(win.controls[0].h, 79);
}

TEST(Resize, MinimisedWindowLeftAloneAndLinesScaled) {
    FakeWindow win;
    FakeControl line("line", 10, 20, 110, 20);
    line.line = true;
    win.controls = {{"a", 100, 100, 100, 100}, line};
    Resize r(768);
    r.resizeWindow(win);
    win.topPos = Resize::kMinimisedTop;
    win.iw = 500;
    r.resizeWindow(win);
    EXPECT_EQ(win.controls[0].l, 100);
    win.topPos = 0;
    r.resizeWindow(win);
    EXPECT_EQ(win.controls[0].l, 50);
    EXPECT_EQ(win.controls[1].w, 55); // X2 of the line
    EXPECT_FALSE(r.busy());
}

TEST(Resize, ReentrantCallReturnsAtOnce) {
    struct Reentrant : FakeControl {
        Resize* r = nullptr;
        ResizeWindow* win = nullptr;
        int calls = 0;
        using FakeControl::FakeControl;
        void setGeometry(int a, int b, int c, int d) override {
            ++calls;
            FakeControl::setGeometry(a, b, c, d);
            r->resizeWindow(*win); // a resize event raised while resizing
        }
    };
    struct Win : FakeWindow {
        Reentrant c{"x", 10, 10, 10, 10};
        int controlCount() const override { return 1; }
        ResizeControl& control(int) override { return c; }
    } win;
    Resize r(768);
    win.c.r = &r;
    win.c.win = &win;
    r.resizeWindow(win);
    EXPECT_EQ(win.c.calls, 1);
}
