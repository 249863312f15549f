#pragma once
// VSTDockLayout: where the plug-in dock's strip, its buttons and lamps and the effects' windows
// go, and what a left press on the strip means, as plain functions over the chain's slots. The
// dock window (TVSTDockingForm) draws and acts by these; keeping them apart lets the rules be
// checked without a window system.
//
// The strip is 21 pixels wide. Each effect owns a slot of the strip as high as its window: the
// editor's height, or 40 when it is collapsed to its mini panel. Slot tops add up from the
// dock's top; the effect's window sits right of the strip at the slot's top.
//
// Threading: any (no state).

#include <cstddef>
#include <vector>

struct DockSlot {
    bool collapsed = false;
    bool bypassed = false;
    int editorHeight = 0; // the editor's height; ignored while collapsed
};

enum class DockButton { Collapse, Expand, MoveUp, MoveDown, BypassLamp };

struct DockMark {
    DockButton button;
    int y;            // from the dock's top
    bool lit = false; // lamps: lit while the effect runs (not bypassed)
};

struct DockSlotPlace {
    int top = 0;                  // from the dock's top
    int height = 0;               // editor height, or 40 collapsed
    int windowX = 0, windowY = 0; // screen position of the effect's editor or mini panel
    std::vector<DockMark> marks;
};

struct DockPlace {
    int x = 0, y = 0;
    int width = 0;
    int height = 0; // the sum of the slot heights
    std::vector<DockSlotPlace> places;
};

enum class DockAction { None, Collapse, Expand, MoveUp, MoveDown, ToggleBypass };

struct DockHit {
    DockAction action = DockAction::None;
    int index = -1; // the effect whose slot was hit; -1 below the last slot
};

namespace VSTDock {
constexpr int kWidth = 21;
constexpr int kFirstLeft = 100, kFirstTop = 100;
constexpr int kCollapsedHeight = 40;
constexpr int kMiniPanelWidth = 200, kMiniPanelHeight = 40;
// The strip's buttons answer only in its left 17 pixels.
constexpr int kButtonZoneRight = 16;
// Offsets from a slot's top.
constexpr int kFirstButton = 4;
constexpr int kSecondButton = 15;
constexpr int kThirdButton = 26;
constexpr int kExpandedLamp = 37;
constexpr int kExpandedLampEnd = 55;
constexpr int kCollapsedLampEnd = 33;
} // namespace VSTDock

int SlotHeight(const DockSlot& slot);
// The dock at (left, top) with these slots, top to bottom in chain order.
DockPlace LayoutDock(const std::vector<DockSlot>& chain, int left, int top);
// The effect whose slot holds y (from the dock's top), or -1.
int SlotAt(const std::vector<DockSlot>& chain, int y);
// What a left press at (x, y) on the strip asks for.
DockHit HitDock(const std::vector<DockSlot>& chain, int x, int y);
