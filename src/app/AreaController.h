#pragma once
// AreaController: one area of the main window (the library browser, the DSP panels, the edit
// area with its wave viewer, the meters, import, export, the side sections; later recording,
// CD and plug-ins). It owns its widgets and registers its commands; the shell (TForm1) lays the areas
// out, starts the core and hands every controller the same moments of the program's life.
//
// Threading: main thread only.

class CCore;
class CommandTable;
struct EngineSnapshot;

class AreaController {
public:
    explicit AreaController(CCore& core) : m_core(core) {}
    virtual ~AreaController() = default;
    AreaController(const AreaController&) = delete;
    AreaController& operator=(const AreaController&) = delete;

    // Binds the area's handlers to the rows of the command table (before the core starts).
    virtual void RegisterCommands(CommandTable& commands) {}
    // The core has made its objects and opened the library: fill the area from them.
    virtual void CoreStarted() {}
    // One tick of the main timer with what the engine published for it.
    virtual void Tick(const EngineSnapshot& snapshot) {}
    // The window switched between browse and edit mode.
    virtual void ModeChanged(int mode) {}
    // The core is about to end its objects: drop every pointer into them.
    virtual void CoreStopping() {}

protected:
    CCore& m_core;
};
