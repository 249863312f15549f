#pragma once
// PrefsController: the settings of the window that no other area owns. It applies them from the
// preferences store once the other areas have started and writes them back before the library
// is saved:
//   40 "AutoPlay At Click" and 45 "AutoPlay Range" (kept; "AutoPlay Range" is off after every start),
//   30, 31 the heights of the region tree and the preset tree (31 is applied, 30 only written),
//   70 "Font size" ("Small", "Medium", "Large": 12, 14, 15 px on the tapes, trees and lists),
//   80-82, 90-92 the panel types and control colours of the three DSP panels (fixed at start-up).
// Every other key has one owner: the meters (61-63), the region graph (41-44, 60), import and
// export (22-24, 100, 101), the audio thread's device choice (1, 2) and the side sections
// (25-28, 35).
//
// Threading: main thread only.

#include <QList>
#include <QObject>
#include <QPointer>

#include "app/AreaController.h"

class BrowserController;
class QWidget;

class PrefsController : public QObject, public AreaController {
public:
    static constexpr int kAutoPlayAtClickKey = 40;
    static constexpr int kAutoPlayRangeKey = 45;
    static constexpr int kRegionTreeHeightKey = 30;
    static constexpr int kPresetTreeHeightKey = 31;
    static constexpr int kFontSizeKey = 70;
    static constexpr int kPanelTypeKey = 80;     // 80 EQ, 81 stereo imager, 82 compressor
    static constexpr int kControlColourKey = 90; // 90, 91, 92 in the same order
    static constexpr int kFixedPanelType = 1;
    static constexpr int kFixedControlColour = 2;

    PrefsController(CCore& core, QWidget* window, BrowserController& browser);

    void RegisterCommands(CommandTable& commands) override;
    // Must run after the other areas' CoreStarted: it reaches their widgets.
    void CoreStarted() override;
    void CoreStopping() override;

    // Font size choice 0 "Small", 1 "Medium", 2 "Large"; anything else is taken as "Small".
    void SetFontSize(int choice);
    static int FontPixels(int choice);
    // The lists and views that other areas build later (the import panel's file views, the range
    // and marker lists) join here: they take the current size at once and every later change.
    void AddFontTargets(const QList<QWidget*>& widgets);
    // Sets the text height of one widget (and of its viewport's items) to px pixels.
    static void ApplyFont(QWidget* widget, int px);

    // The two autoplay switches have no menu item of their own yet; the window keeps them so
    // that the stored choices survive until one does.
    bool AutoPlayAtClick() const { return m_autoPlayAtClick; }
    void SetAutoPlayAtClick(bool on) { m_autoPlayAtClick = on; }
    bool AutoPlayRange() const { return m_autoPlayRange; }
    void SetAutoPlayRange(bool on) { m_autoPlayRange = on; }
    int PanelType(int panel) const { return m_panelTypes[Clamp3(panel)]; }
    int ControlColour(int panel) const { return m_controlColours[Clamp3(panel)]; }

protected:
    // Notes the trees' laid-out heights while the window shows: at shutdown it is already hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static int Clamp3(int i) { return i < 0 ? 0 : (i > 2 ? 2 : i); }
    void CheckFontItems();
    void ApplyFontEverywhere();

    QWidget* m_window;
    QPointer<QWidget> m_regionTree;
    QPointer<QWidget> m_presetTree;
    BrowserController& m_browser;
    CommandTable* m_commands = nullptr;
    QList<QPointer<QWidget>> m_fontTargets;
    int m_fontSize = 0;
    bool m_autoPlayAtClick = false;
    bool m_autoPlayRange = false;
    int m_regionTreeHeight = 0;
    int m_presetTreeHeight = 0;
    int m_panelTypes[3] = {kFixedPanelType, kFixedPanelType, kFixedPanelType};
    int m_controlColours[3] = {kFixedControlColour, kFixedControlColour, kFixedControlColour};
};
