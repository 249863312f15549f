#pragma once
// MetersController: the meter bridge above the VTape (the audio display's image in a paint
// box), its "Meters" context menu and the same items under "Setup" → "Meters". Both menus hold
// the same actions, so their check marks never disagree. At every tick it moves the bars,
// the counter and the status icon; after a stop the bars fall away for 199 ticks.
//
// Threading: main thread only.

#include <memory>

#include "app/AreaController.h"
#include "views/CAudioDisplay.h"

class CommandTable;
class PanelBox;
class QMenu;
struct WindowAreas;

class MetersController : public AreaController {
public:
    MetersController(CCore& core, const WindowAreas& areas);
    ~MetersController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;

    CAudioDisplay& Display() { return m_display; }
    PanelBox* Box() const { return m_box; }
    QMenu* ContextMenu() const { return m_menu; }

private:
    void CheckOnly(const char* prefix, int count, int chosen);
    void Repaint();

    CAudioDisplay m_display;
    PanelBox* m_box = nullptr;
    QMenu* m_menu = nullptr;
    CommandTable* m_commands = nullptr;
    int m_lastState = 0;
};
