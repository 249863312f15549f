#pragma once
// CVSTEffectList: the chain of hosted effects in signal order (top to bottom), the first stage of
// the stack. It owns its effects.
//
// Threading: the stack calls Enter, Count, Bypassed, Run and Leave on the audio thread; every
// other operation runs on the main thread. A main-thread change of the chain (adding, removing,
// moving, destroying, loading, a new sample rate) first keeps the audio side out: it raises
// the rebuilding flag and waits until a block that is inside the chain has left it, so the audio
// thread never meets a half-changed list or an effect being unloaded. The wait is at most one
// block's run through the chain. The audio thread never loads a library: an effect that is not
// loaded yet passes its block through.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dsp/CDSPStack.h"

class CVSTEffect;

class CVSTEffectList : public CEffectChain {
public:
    CVSTEffectList();
    ~CVSTEffectList() override;
    CVSTEffectList(const CVSTEffectList&) = delete;
    CVSTEffectList& operator=(const CVSTEffectList&) = delete;

    // The folders effects are loaded from (the user's VST folder list).
    void SetFolders(std::vector<std::string> folders) { m_folders = std::move(folders); }
    // A live source instead (the core's folder list, which the "VST Folders" dialog edits).
    void SetFolderSource(std::function<std::vector<std::string>()> source) { m_folderSource = std::move(source); }
    std::vector<std::string> Folders() const { return m_folderSource ? m_folderSource() : m_folders; }

    // The window side's hook that closes an effect's editor window and mini panel (it then clears
    // flag bits 0 and 1). Called by CloseAllEditors and before an effect is unloaded. Without a
    // hook the effect's editor is closed with effEditClose only.
    void SetCloseHook(std::function<void(CVSTEffect&)> hook) { m_closeHook = std::move(hook); }

    // --- The list (main thread) ---
    int Count() const override { return static_cast<int>(m_effects.size()); }
    // Null when out of range.
    CVSTEffect* Get(int index) const;
    int IndexOf(const CVSTEffect* effect) const;
    // Takes the effect; returns it.
    CVSTEffect* Append(std::unique_ptr<CVSTEffect> effect);
    // At index; -1 (or any index outside 0..Count) appends.
    CVSTEffect* Insert(int index, std::unique_ptr<CVSTEffect> effect);
    // Takes the effect out without destroying it; null when out of range.
    std::unique_ptr<CVSTEffect> Remove(int index);
    // Takes it out, closes its windows and unloads it.
    void RemoveAndDestroy(int index);
    void DestroyAll();
    // Closes every editor and mini panel (browse mode, an empty chain).
    void CloseAllEditors();
    // index > 0: one place earlier. False (nothing changes) for the first or out of range.
    bool MoveUp(int index);
    // index < Count - 1: one place later. False for the last or out of range.
    bool MoveDown(int index);

    // "Add VST Effect...": a new effect by file name, loaded from the folders and appended. On a
    // failure nothing is appended and result is the CVSTHost result (message by
    // CVSTHost::Message).
    CVSTEffect* AddEffect(const std::string& name, int& result);
    // Loads every effect that is not loaded yet (a snap recall); the first failure's result, or
    // CVSTHost::Ok.
    int LoadAll();
    // Loads effect index if it is not loaded yet (the dock opening its editor). An effect that is
    // in the list is loaded or unloaded only through the list, which keeps the audio side out.
    int Load(int index);

    // The rebuilding flag of a snap recall: while raised the stack skips the chain. Raising it
    // waits until the audio thread is out of the chain.
    void SetRebuilding(bool on);
    bool Rebuilding() const override { return m_rebuilding.load(std::memory_order_acquire); }

    // Tells every effect (and the host callback) the rate of the material about to be processed,
    // suspending and resuming the running ones. Only when it differs from the rate told; main
    // thread, never while the audio thread is inside the chain (the audio side is kept out).
    void SetSampleRate(double rate);
    double SampleRate() const;

    // --- CEffectChain ---
    // Audio thread: true when the chain may be run now; then Leave must follow the run.
    bool Enter() override;
    void Leave() override;
    bool Bypassed(int index) const override;
    void Run(int index, float* inLeft, float* inRight, float* outLeft, float* outRight, int n) override;
    // Main timer: effMainsChanged only on a change of the state.
    void SetActive(int index, bool active) override;
    void Idle(int index) override;

private:
    // Raises the flag (if not raised) and waits for the audio side; restores it on leaving scope.
    class KeepOut;
    void CloseWindows(CVSTEffect& effect);

    std::vector<std::unique_ptr<CVSTEffect>> m_effects;
    std::vector<std::string> m_folders;
    std::function<std::vector<std::string>()> m_folderSource;
    std::function<void(CVSTEffect&)> m_closeHook;
    std::atomic<bool> m_rebuilding{false};
    std::atomic<bool> m_inside{false};
    // The rate this list's effects were last told (0 before any).
    double m_toldRate = 0.0;
};
