#pragma once
// TVSTDockingForm: the thin strip window the plug-in editors are docked to. It stacks one slot
// per effect of the chain, top to bottom in signal order, each as high as the effect's editor
// (or 40 while the effect is collapsed to its mini panel), and carries the effect's buttons:
// collapse or expand, move up, move down, and the bypass lamp. The editors and mini panels sit
// right of the strip at their slots' tops; dragging the strip carries them along. A right press
// on a slot offers the effect's programs.
//
// The layout (VSTDockLayout) is run after every change of the chain, on paint when the chain
// changed behind the dock's back (a snap recall), and when the window changes mode: in browse
// mode, or with an empty chain, every editor and mini panel is closed and the dock hidden.
//
// Threading: main thread only.

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

#include "app/VSTDockLayout.h"

class CVSTEffect;
class CVSTEffectList;
class QMenu;
class TMinipanelForm;
class VSTEditorWindow;

class TVSTDockingForm : public QWidget {
    Q_OBJECT
public:
    explicit TVSTDockingForm(QWidget* parent = nullptr);
    ~TVSTDockingForm() override;

    // The chain it docks (null lets go of it: every window is closed first).
    void SetChain(CVSTEffectList* chain);
    CVSTEffectList* Chain() const { return m_chain; }
    // Browse mode shows no plug-in windows.
    void SetEditMode(bool edit);
    bool EditMode() const { return m_edit; }

    // Runs the dock layout.
    void LayoutDock();
    // Closes one effect's editor (effEditClose first) and mini panel; the chain calls this before
    // it unloads an effect and when it closes every editor.
    void CloseWindows(CVSTEffect& effect);

    // After the dock moved an effect up or down (the chain list follows).
    std::function<void()> chainChanged;

    // What the last layout placed (for the program's tests).
    const DockPlace& Place() const { return m_place; }
    const QImage& Image() const { return m_image; }
    static VSTEditorWindow* EditorOf(const CVSTEffect& effect);
    static TMinipanelForm* MiniPanelOf(const CVSTEffect& effect);
    // The program menu of effect index, as a right press opens it; null without programs.
    QMenu* ProgramMenu(int index, QWidget* parent);

    // The menu's entries are capped: a plug-in may report thousands of programs.
    static constexpr int kMaxMenuPrograms = 512;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    std::vector<DockSlot> Slots() const;
    // The chain's order and the collapsed and bypassed bits the dock was last laid out for.
    std::vector<std::pair<const CVSTEffect*, int>> Signature() const;
    // Moves the effects' windows to their slots (after the dock moved).
    void PlaceWindows();
    void OpenEditor(CVSTEffect& effect);
    void CloseEditor(CVSTEffect& effect);
    void OpenMiniPanel(CVSTEffect& effect);
    void CloseMiniPanel(CVSTEffect& effect);
    void Compose();
    void Act(const DockHit& hit);

    CVSTEffectList* m_chain = nullptr;
    bool m_edit = false;
    bool m_placed = false; // the dock was shown once (it starts at 100, 100)
    bool m_laying = false;
    DockPlace m_place;
    std::vector<std::pair<const CVSTEffect*, int>> m_laidOut;
    QImage m_image;
    bool m_dragging = false;
    QPoint m_dragStart; // global pointer position at the press
    QPoint m_dockStart; // the dock's position at the press
};
