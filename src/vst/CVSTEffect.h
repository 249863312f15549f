#pragma once
// CVSTEffect: one hosted VST 2 effect of the chain: the plug-in's file name, its library and
// instance once loaded, the dock's flags and sizes, and the last active state sent.
//
// Every call into the plug-in goes through here and is guarded: a C++ exception thrown by the
// plug-in is caught at this boundary, and floating-point exceptions are masked for the call
// (the caller's floating-point control is restored afterwards).
//
// Threading: Process runs on the audio thread; everything else on the main thread. An effect
// that is in a chain is loaded and unloaded only through its CVSTEffectList (Load, LoadAll,
// RemoveAndDestroy, DestroyAll), which keeps the audio side out meanwhile, so the audio thread
// never sees a half-made instance. The flags are atomics because the audio thread reads
// the bypass bit.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vst2 {
struct AEffect;
}

class CVSTEffect {
public:
    // flags bits.
    enum : int32_t {
        FlagEditorOpen = 0x01,
        FlagMiniPanelOpen = 0x02,
        FlagCollapsed = 0x04,
        FlagBypassed = 0x08,
    };
    // The largest block handed to a plug-in at once; longer blocks are run in pieces (plug-ins
    // in the wild break on longer ones although told kBlockSize).
    static constexpr int kMaxPiece = 4096;
    static constexpr int kNameSize = 64; // at most 63 bytes of name

    // A new, unloaded effect for the plug-in file name (a name longer than 63 bytes leaves the
    // name empty, as in a snap).
    explicit CVSTEffect(const std::string& name);
    // Unloads.
    ~CVSTEffect();
    CVSTEffect(const CVSTEffect&) = delete;
    CVSTEffect& operator=(const CVSTEffect&) = delete;

    const std::string& Name() const { return m_name; }

    // Finds the file in the folders, opens it, makes and checks the instance and sends the
    // start-up calls (effOpen, effSetSampleRate with the host's rate, effSetBlockSize,
    // effMainsChanged 1, effEditGetRect). Returns CVSTHost::Ok (also when already loaded) or the
    // failure, with nothing left open.
    int Load(const std::vector<std::string>& folders);
    bool Loaded() const { return m_effect != nullptr; }
    // The editor is closed first (the window side must have let go of it), then effMainsChanged
    // 0, effClose, and the library is freed.
    void Unload();

    // The flag bits; the window side keeps bits 0 and 1 as its editor and mini panel come and go.
    int32_t Flags() const { return m_flags.load(std::memory_order_acquire); }
    void SetFlags(int32_t flags) { m_flags.store(flags, std::memory_order_release); }
    bool Bypassed() const { return (Flags() & FlagBypassed) != 0; }
    void SetBypassed(bool on);
    bool Collapsed() const { return (Flags() & FlagCollapsed) != 0; }
    void SetCollapsed(bool on);

    // Editor size from effEditGetRect (0 × 0 before loading or without a rectangle).
    int EditorWidth() const { return m_editorWidth; }
    int EditorHeight() const { return m_editorHeight; }
    // Mini panel size, 200 × 40 once the dock opened it.
    int MiniWidth() const { return m_miniWidth; }
    int MiniHeight() const { return m_miniHeight; }
    void SetMiniSize(int width, int height) {
        m_miniWidth = width;
        m_miniHeight = height;
    }
    // The effect's window position; starts at 100, 100.
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    void SetPosition(int left, int top) {
        m_left = left;
        m_top = top;
    }
    // The last state sent with effMainsChanged by the main timer; starts false.
    bool Active() const { return m_active; }
    // Sends effMainsChanged only when active differs from the last state sent.
    void SetActive(bool active);

    // Opaque slots for the window side: its editor window object and its mini panel object. The
    // effect never looks at them.
    void* EditorWindow() const { return m_editorWindow; }
    void SetEditorWindow(void* window) { m_editorWindow = window; }
    void* MiniPanel() const { return m_miniPanel; }
    void SetMiniPanel(void* panel) { m_miniPanel = panel; }

    // The dispatcher calls of the dock and the chain list; each does nothing (false, 0, "") while
    // not loaded.
    // effEditOpen with the X11 id of the window the editor is to live in; sets FlagEditorOpen.
    bool EditOpen(intptr_t windowId);
    // effEditClose when the editor is open; clears FlagEditorOpen.
    void EditClose();
    // effEditIdle while the editor is open.
    void EditIdle();
    // effEditGetRect again: width = right - left + 1, height = bottom - top + 1 (the sizes above
    // are updated); false when the plug-in gives no rectangle.
    bool EditGetRect(int& width, int& height);
    // effGetEffectName.
    std::string EffectName();
    // What the chain list shows: the effect name, else the file name without a final ".so".
    std::string ListName();
    int ProgramCount() const;
    // effGetProgramNameIndexed; false when the plug-in has no name for index.
    bool ProgramName(int index, std::string& name);
    int GetProgram();
    void SetProgram(int program);
    int ParameterCount() const;
    float GetParameter(int index);
    // effGetParamName, and the value as the plug-in shows it (effGetParamDisplay and
    // effGetParamLabel): for the tool's listing, so people can name parameters by index.
    std::string ParameterName(int index);
    std::string ParameterDisplay(int index);
    void SetParameter(int index, float value);
    // The plug-in keeps its state as a chunk (flag 0x20).
    bool ChunkCapable() const;
    // effGetChunk (index 0): the plug-in's bytes, copied; empty when it has none.
    std::vector<uint8_t> GetChunk();
    // effSetChunk (index 0, value = size).
    bool SetChunk(const std::vector<uint8_t>& chunk);

    // Suspends, tells the plug-in the rate and resumes it (only when it is running). Main thread,
    // with the audio side kept out.
    void ChangeSampleRate(double rate);

    // Audio thread: runs n frames from the input pair into the output pair, in pieces of at most
    // kMaxPiece frames. An effect not loaded yet, or one that throws, passes the block through.
    void Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n);

    // The instance, for tests that look at the record.
    vst2::AEffect* Instance() const { return m_effect; }

private:
    intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    std::string m_name;
    void* m_module = nullptr;
    vst2::AEffect* m_effect = nullptr;
    std::atomic<int32_t> m_flags{0};
    void* m_editorWindow = nullptr;
    void* m_miniPanel = nullptr;
    int m_miniWidth = 0;
    int m_miniHeight = 0;
    int m_editorWidth = 0;
    int m_editorHeight = 0;
    int m_left = 100;
    int m_top = 100;
    bool m_active = false;
    // The rate last told to the plug-in.
    double m_rate = 0.0;
    // The plug-in was last told effMainsChanged 1 (by the start-up or by the main timer).
    bool m_resumed = false;
    // Channel pointer arrays and the buffers of channels beyond the stereo pair, made at load so
    // processing allocates nothing.
    int m_channels = 2;
    std::vector<float*> m_inPtrs;
    std::vector<float*> m_outPtrs;
    std::vector<float> m_extra;
};
