// The plug-in dock's rules without a window: slot heights and window places, which buttons and
// lamps each slot shows (first, last, collapsed, bypassed), and what a left press on the strip
// means at each button zone's edges.
#include <QTest>

#include "app/VSTDockLayout.h"

namespace {
std::vector<DockButton> Buttons(const DockSlotPlace& s) {
    std::vector<DockButton> b;
    for (const DockMark& m : s.marks) b.push_back(m.button);
    return b;
}
int MarkY(const DockSlotPlace& s, DockButton button) {
    for (const DockMark& m : s.marks)
        if (m.button == button) return m.y;
    return -1;
}
} // namespace

class VSTDockLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void slotsStackTheirWindowsRightOfTheStrip() {
        // An editor 300 high, a collapsed one, an editor 120 high; the dock at 100, 100.
        const std::vector<DockSlot> chain = {{false, false, 300}, {true, true, 500}, {false, false, 120}};
        const DockPlace p = LayoutDock(chain, 100, 100);
        QCOMPARE(p.width, 21);
        QCOMPARE(p.height, 300 + 40 + 120);
        QCOMPARE(int(p.places.size()), 3);
        QCOMPARE(p.places[1].top, 300);
        QCOMPARE(p.places[2].top, 340);
        for (const DockSlotPlace& s : p.places) QCOMPARE(s.windowX, 121);
        QCOMPARE(p.places[0].windowY, 100);
        QCOMPARE(p.places[1].windowY, 400);
        QCOMPARE(p.places[2].windowY, 440);
        QCOMPARE(LayoutDock({}, 5, 5).height, 0);
    }

    void eachSlotShowsItsButtonsAndLamp() {
        const std::vector<DockSlot> chain = {{false, false, 200}, {false, true, 200}, {false, false, 200}};
        const DockPlace p = LayoutDock(chain, 0, 0);
        using B = DockButton;
        // No move up for the first, no move down for the last; the middle one has both.
        QCOMPARE(Buttons(p.places[0]), (std::vector<B>{B::Collapse, B::MoveDown, B::BypassLamp}));
        QCOMPARE(Buttons(p.places[1]), (std::vector<B>{B::Collapse, B::MoveUp, B::MoveDown, B::BypassLamp}));
        QCOMPARE(Buttons(p.places[2]), (std::vector<B>{B::Collapse, B::MoveUp, B::BypassLamp}));
        QCOMPARE(MarkY(p.places[1], B::Collapse), 204);
        QCOMPARE(MarkY(p.places[1], B::MoveUp), 215);
        QCOMPARE(MarkY(p.places[1], B::MoveDown), 226);
        QCOMPARE(MarkY(p.places[1], B::BypassLamp), 237);
        // The lamp is lit while the effect runs.
        QVERIFY(p.places[0].marks.back().lit);
        QVERIFY(!p.places[1].marks.back().lit);
        // A single effect has neither move button; a collapsed one only expand and lamp.
        QCOMPARE(Buttons(LayoutDock({{false, false, 90}}, 0, 0).places[0]),
                 (std::vector<B>{B::Collapse, B::BypassLamp}));
        const DockPlace c = LayoutDock({{false, false, 90}, {true, false, 90}, {false, false, 90}}, 0, 0);
        QCOMPARE(Buttons(c.places[1]), (std::vector<B>{B::Expand, B::BypassLamp}));
        QCOMPARE(MarkY(c.places[1], B::Expand), 94);
        QCOMPARE(MarkY(c.places[1], B::BypassLamp), 105);
    }

    void pressZonesOfAnExpandedSlot() {
        const std::vector<DockSlot> chain = {{false, false, 100}, {false, false, 100}, {false, false, 100}};
        auto at = [&](int x, int y) { return HitDock(chain, x, y); };
        const int t = 100; // the middle slot
        QCOMPARE(at(5, t + 3).action, DockAction::None);
        QCOMPARE(at(5, t + 4).action, DockAction::Collapse);
        QCOMPARE(at(5, t + 15).action, DockAction::Collapse);
        QCOMPARE(at(5, t + 16).action, DockAction::MoveUp);
        QCOMPARE(at(5, t + 26).action, DockAction::MoveUp);
        QCOMPARE(at(5, t + 27).action, DockAction::MoveDown);
        QCOMPARE(at(5, t + 37).action, DockAction::MoveDown);
        QCOMPARE(at(5, t + 38).action, DockAction::ToggleBypass);
        QCOMPARE(at(5, t + 54).action, DockAction::ToggleBypass);
        QCOMPARE(at(5, t + 55).action, DockAction::None);
        QCOMPARE(at(5, t + 40).index, 1);
        // Only the left 17 pixels hold buttons.
        QCOMPARE(at(16, t + 5).action, DockAction::Collapse);
        QCOMPARE(at(17, t + 5).action, DockAction::None);
        // The first cannot move up, the last cannot move down.
        QCOMPARE(at(5, 20).action, DockAction::None);
        QCOMPARE(at(5, 30).action, DockAction::MoveDown);
        QCOMPARE(at(5, 220).action, DockAction::MoveUp);
        QCOMPARE(at(5, 230).action, DockAction::None);
        // Below the last slot nothing is hit.
        QCOMPARE(at(5, 300).index, -1);
    }

    void pressZonesOfACollapsedSlot() {
        const std::vector<DockSlot> chain = {{true, false, 300}, {false, false, 100}};
        QCOMPARE(HitDock(chain, 5, 4).action, DockAction::Expand);
        QCOMPARE(HitDock(chain, 5, 15).action, DockAction::Expand);
        QCOMPARE(HitDock(chain, 5, 16).action, DockAction::ToggleBypass);
        QCOMPARE(HitDock(chain, 5, 32).action, DockAction::ToggleBypass);
        QCOMPARE(HitDock(chain, 5, 33).action, DockAction::None);
        // The collapsed slot is 40 high whatever its editor: 45 is the next slot's collapse.
        QCOMPARE(HitDock(chain, 5, 45).action, DockAction::Collapse);
        QCOMPARE(HitDock(chain, 5, 45).index, 1);
        QCOMPARE(SlotAt(chain, 39), 0);
        QCOMPARE(SlotAt(chain, 40), 1);
        QCOMPARE(SlotAt(chain, 140), -1);
    }
};

QTEST_APPLESS_MAIN(VSTDockLayoutTest)
#include "VSTDockLayoutTest.moc"
