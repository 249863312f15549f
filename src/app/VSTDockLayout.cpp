#include "app/VSTDockLayout.h"

using namespace VSTDock;

int SlotHeight(const DockSlot& slot) { return slot.collapsed ? kCollapsedHeight : slot.editorHeight; }

DockPlace LayoutDock(const std::vector<DockSlot>& chain, int left, int top) {
    DockPlace place;
    place.x = left;
    place.y = top;
    place.width = kWidth;
    const int count = static_cast<int>(chain.size());
    int y = 0;
    for (int i = 0; i < count; ++i) {
        const DockSlot& s = chain[static_cast<size_t>(i)];
        DockSlotPlace p;
        p.top = y;
        p.height = SlotHeight(s);
        p.windowX = left + kWidth;
        p.windowY = top + y;
        const bool lit = !s.bypassed;
        if (s.collapsed) {
            p.marks.push_back({DockButton::Expand, y + kFirstButton});
            p.marks.push_back({DockButton::BypassLamp, y + kSecondButton, lit});
        } else {
            p.marks.push_back({DockButton::Collapse, y + kFirstButton});
            if (i > 0) p.marks.push_back({DockButton::MoveUp, y + kSecondButton});
            if (i < count - 1) p.marks.push_back({DockButton::MoveDown, y + kThirdButton});
            p.marks.push_back({DockButton::BypassLamp, y + kExpandedLamp, lit});
        }
        y += p.height;
        place.places.push_back(std::move(p));
    }
    place.height = y;
    return place;
}

int SlotAt(const std::vector<DockSlot>& chain, int y) {
    if (y < 0) return -1;
    int top = 0;
    for (size_t i = 0; i < chain.size(); ++i) {
        const int h = SlotHeight(chain[i]);
        if (y < top + h) return static_cast<int>(i);
        top += h;
    }
    return -1;
}

DockHit HitDock(const std::vector<DockSlot>& chain, int x, int y) {
    DockHit hit;
    hit.index = SlotAt(chain, y);
    if (hit.index < 0 || x > kButtonZoneRight) return hit;
    int t = 0;
    for (int i = 0; i < hit.index; ++i) t += SlotHeight(chain[static_cast<size_t>(i)]);
    const DockSlot& s = chain[static_cast<size_t>(hit.index)];
    const bool first = hit.index == 0;
    const bool last = hit.index == static_cast<int>(chain.size()) - 1;
    // Each zone runs from its button's offset to the next one's, the upper one taking the
    // shared edge; the lamp's zone lies strictly between its offsets.
    if (s.collapsed) {
        if (y >= t + kFirstButton && y <= t + kSecondButton) hit.action = DockAction::Expand;
        else if (y > t + kSecondButton && y < t + kCollapsedLampEnd) hit.action = DockAction::ToggleBypass;
        return hit;
    }
    if (y >= t + kFirstButton && y <= t + kSecondButton) hit.action = DockAction::Collapse;
    else if (y > t + kSecondButton && y <= t + kThirdButton) hit.action = first ? DockAction::None : DockAction::MoveUp;
    else if (y > t + kThirdButton && y <= t + kExpandedLamp)
        hit.action = last ? DockAction::None : DockAction::MoveDown;
    else if (y > t + kExpandedLamp && y < t + kExpandedLampEnd) hit.action = DockAction::ToggleBypass;
    return hit;
}
