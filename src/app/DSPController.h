#pragma once
// DSPController: the mastering chain's part of the window: the DSP panel with the equaliser,
// stereo imager and compressor (shown in edit mode), the valve amplifier's "Control Amp" panel
// above the VTape (always shown), the preset tree, and the choice of the SIMD path.
//
// Threading: main thread only. The panels' tick runs here; the audio thread reads the controls'
// values once per block on its own.

#include <memory>

#include "app/AreaController.h"

class QAction;
class QTreeWidget;
class PanelBox;
class DSPPanelView;
class ControlAmpView;
struct WindowAreas;

class DSPController : public AreaController {
public:
    DSPController(CCore& core, const WindowAreas& areas);
    ~DSPController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    QTreeWidget* PresetTree() const { return m_presetTree; }
    PanelBox* ControlAmpBox() const { return m_controlAmpBox; }
    PanelBox* DSPPanelBox() const { return m_dspPanelBox; }
    QAction* UseSSEAction() const { return m_useSSE; }
    // The valve amplifier's panel follows the region graph's colour scheme (preference 60).
    void SetValveScheme(int scheme);
    int ValveScheme() const;

private:
    void BuildPresetTree();
    void UseSSEClick(bool checked);

    CommandTable* m_commands = nullptr;
    QAction* m_useSSE = nullptr;
    QTreeWidget* m_presetTree = nullptr;
    PanelBox* m_dspPanelBox = nullptr;
    PanelBox* m_controlAmpBox = nullptr;
    std::unique_ptr<DSPPanelView> m_dspPanelView;
    std::unique_ptr<ControlAmpView> m_controlAmpView;
};
