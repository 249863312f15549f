#include "app/DSPController.h"

#include <QAction>
#include <QHBoxLayout>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

#include "app/CommandTable.h"
#include "app/FolderIcons.h"
#include "app/PanelBox.h"
#include "app/WindowAreas.h"
#include "core/CCore.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "views/DSPPanelView.h"

namespace {
// The paint box handlers of a drawn panel view that is created later than its box.
template <typename View>
PanelBox::Handlers PanelHandlers(std::unique_ptr<View>& view, std::function<void(int, int)> compose) {
    PanelBox::Handlers h;
    h.compose = std::move(compose);
    h.image = [&view]() -> const QImage& {
        static const QImage none;
        return view ? view->Image() : none;
    };
    h.leftDown = [&view](bool alt, bool ctrl, int x, int y) { return view && view->LeftButtonDown({alt, ctrl}, x, y); };
    h.move = [&view](int x, int y, bool ctrl) {
        if (view) view->MouseMove(x, y, ctrl);
    };
    h.up = [&view] {
        if (view) view->MouseUp();
    };
    return h;
}
} // namespace

DSPController::DSPController(CCore& core, const WindowAreas& areas) : AreaController(core) {
    m_presetTree = new QTreeWidget;
    m_presetTree->setObjectName("PresetTree");
    m_presetTree->setHeaderHidden(true);
    areas.left->addWidget(m_presetTree, 1);

    PanelBox::Handlers dsp = PanelHandlers(m_dspPanelView, [this](int w, int h) {
        if (m_dspPanelView) m_dspPanelView->Paint(w, h, m_controlAmpBox ? m_controlAmpBox->width() : w);
    });
    m_dspPanelBox = new PanelBox(dsp);
    m_dspPanelBox->setObjectName("DSPPanel");
    m_dspPanelBox->setFixedHeight(210);
    areas.work->addWidget(m_dspPanelBox);

    PanelBox::Handlers amp = PanelHandlers(m_controlAmpView, [this](int w, int h) {
        if (m_controlAmpView) m_controlAmpView->Paint(w, h);
    });
    m_controlAmpBox = new PanelBox(amp);
    m_controlAmpBox->setObjectName("ControlAmp");
    m_controlAmpBox->setFixedHeight(70);
    // Under the DSP panel and as wide: the two paint boxes line their processors up.
    areas.work->addWidget(m_controlAmpBox);
}

DSPController::~DSPController() = default;

void DSPController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("setup.useSSE", [this](bool checked) { UseSSEClick(checked); });
    m_useSSE = commands.Action("setup.useSSE");
}

void DSPController::CoreStarted() {
    // The menu item follows what the core chose: checked where the processor has the SIMD path,
    // greyed where it has not.
    CDSPEngine& engine = m_core.DSPEngine();
    if (engine.SSESupport()) {
        m_useSSE->setChecked(true);
    } else if (m_commands) {
        m_commands->SetAvailable("setup.useSSE", false);
    }
    m_dspPanelView = std::make_unique<DSPPanelView>();
    m_dspPanelView->SetProcessors(m_core.Equaliser(), m_core.StereoImager(), m_core.Compressor());
    m_controlAmpView = std::make_unique<ControlAmpView>();
    m_controlAmpView->SetValveAmp(m_core.ValveAmp());
    BuildPresetTree();
}

void DSPController::SetValveScheme(int scheme) {
    if (!m_controlAmpView) return;
    m_controlAmpView->SetScheme(scheme);
    m_controlAmpBox->Recompose();
}

int DSPController::ValveScheme() const { return m_controlAmpView ? m_controlAmpView->Scheme() : 0; }

void DSPController::UseSSEClick(bool checked) { m_core.DSPEngine().UseSSE(checked ? 1 : 0); }

void DSPController::BuildPresetTree() {
    m_presetTree->clear();
    struct Node {
        const char* caption;
        int id;
    };
    const Node tops[] = {{"Stacks", 1}, {"EQ", 4}, {"Compressor", 7}, {"Stereo Imager", 10}};
    for (const Node& n : tops) {
        QTreeWidgetItem* top = FolderIcons::MakeNode(n.caption, n.id, 2, 3);
        top->addChild(FolderIcons::MakeNode("Factory", n.id + 1, 2, 3));
        top->addChild(FolderIcons::MakeNode("User", n.id + 2, 2, 3));
        m_presetTree->addTopLevelItem(top);
    }
    m_presetTree->expandAll();
}

void DSPController::Tick(const EngineSnapshot& snapshot) {
    if (CDSPStack* stack = m_core.Stack()) stack->PanelTick(snapshot.transportState, snapshot.positionMoved);
    // The plug-ins' rate goes back to 44,100 Hz while nothing plays.
    m_core.VSTTick(snapshot.transportState);
    m_controlAmpBox->update();
    if (m_dspPanelBox->isVisible()) m_dspPanelBox->update();
}

void DSPController::ModeChanged(int mode) {
    // The DSP panel belongs to edit mode; the valve amplifier's panel is always shown.
    const bool edit = mode == 1;
    if (m_core.Equaliser()) m_core.Equaliser()->SetShown(edit);
    if (m_core.StereoImager()) m_core.StereoImager()->SetShown(edit);
    if (m_core.Compressor()) m_core.Compressor()->SetShown(edit);
    if (m_core.ValveAmp()) m_core.ValveAmp()->SetShown(true);
    m_dspPanelBox->setVisible(edit);
}

void DSPController::CoreStopping() {
    m_dspPanelView.reset();
    m_controlAmpView.reset();
}
