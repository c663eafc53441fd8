#pragma once

#include <QString>
#include <vector>

namespace tb {

// What the resizing needs to know of a control.
class ResizeControl {
  public:
    virtual ~ResizeControl() = default;
    virtual QString name() const = 0;
    virtual int arrayIndex() const { return 0; }
    virtual bool isLine() const { return false; }
    // left, top, width, height; for a line X1, Y1, X2, Y2.
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setGeometry(int left, int top, int width, int height) = 0;
};

// What the resizing needs to know of a window.
class ResizeWindow {
  public:
    virtual ~ResizeWindow() = default;
    virtual QString name() const = 0;
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int innerWidth() const = 0;
    virtual int innerHeight() const = 0;
    virtual bool isVisible() const = 0;
    virtual void setVisible(bool) = 0;
    virtual int controlCount() const = 0;
    virtual ResizeControl& control(int i) = 0;
};

// Scales every control of a window in proportion to the window's inner size, relative to the
// geometry the window and its controls had when the window was first resized.
class Resize {
  public:
    // Controls on hidden pages are parked this far to the left.
    static constexpr int kParkOffset = 75000;
    // A window whose top is at least this is minimised.
    static constexpr int kMinimisedTop = 30000;

    explicit Resize(int screenHeightPx) : screenHeight_(screenHeightPx) {}

    void resizeWindow(ResizeWindow& window);
    int widthPercent(ResizeWindow& window);
    int heightPercent(ResizeWindow& window);
    void registerWindow(ResizeWindow& window);
    bool isRegistered(const QString& windowName) const;

    // True while a window is being resized (set by resizeWindow).
    bool busy() const { return busy_; }

  private:
    struct WindowEntry {
        QString name;
        int top, left, height, width;
        int refHeight, refWidth;
    };
    struct ControlEntry {
        QString name;
        int index;
        QString window;
        int top, left, height, width; // line: Y1, X1, Y2, X2
    };
    const WindowEntry* findWindow(const QString& name) const;
    const ControlEntry* findControl(const QString& window, const ResizeControl& c) const;
    void resizeControl(ResizeWindow& window, ResizeControl& c);

    int screenHeight_;
    bool busy_ = false;
    std::vector<WindowEntry> windows_;
    std::vector<ControlEntry> controls_;
};

} // namespace tb
