// sonquil-cli render IN OUT [--set KIND:ID=VALUE ...] [--preset NAME ...] [--vst-folder DIR ...] [--vst
// NAME[:PROGRAM][,ID=VALUE...] ...] [--bits N] Renders IN through the mastering chain as an export renders a region: IN
// becomes a transient sample and region on the play list, and the transport's render runs the audio thread, the swapper
// and the disk thread into OUT, written by the writer its extension names. --bits is the render's sample width: it
// chooses the dither word length and the width of OUT. OUT holds exactly IN's frames (the tool renders files, not
// regions, so no frame is added at the end).
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFileFactory.h"
#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "cli/TerminalUiPort.h"
#include "core/CCore.h"
#include "engine/CPlayList.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"

namespace {

const char* const kUsage = "usage: render IN OUT [--set KIND:ID=VALUE ...] [--preset NAME ...] [--vst-folder DIR ...] "
                           "[--vst NAME[:PROGRAM][,ID=VALUE...] ...] [--bits 8|16|24|32]";

} // namespace

int RenderCommand(const Args& args) {
    std::vector<std::string> positional;
    ChainOptions chain;
    long bits = 16;
    std::string error;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (TakeChainOption(args, i, chain, error)) {
            if (!error.empty()) return Fail(error);
        } else if (a == "--bits") {
            if (i + 1 >= args.size()) return Fail(a + " needs a value");
            if (!ParseWholeNumber(args[++i], 8, 32, bits) || bits % 8 != 0)
                return Fail("--bits must be 8, 16, 24 or 32");
        } else if (a.rfind("--", 0) == 0) {
            return Fail("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return Fail(kUsage);

    // The same core as the program's: the whole chain and the engine, wired once.
    EngineSession session;
    if (!session.Open(chain, false, error) || !session.ApplyChain(chain, error)) return Fail(error);
    CCore& core = session.Core();

    TransientRegion in;
    if (!in.Open(positional[0], error)) return Fail(error);
    std::string folder, name;
    SplitAudioPath(positional[1], folder, name);
    int32_t outType = kSampleInt;
    std::unique_ptr<AudioFile> writer = MakeWriterForExtension(folder, name, outType, error);
    if (!writer) return Fail(error);
    AudioFile* file = writer.get();
    CFileRenderTarget target(std::move(writer), in.Channels(), in.Rate(), static_cast<int32_t>(bits), outType);

    CTransport& transport = *core.Transport();
    core.PlayList()->Clear();
    if (!core.PlayList()->Add(in.Region(), 0)) return Fail(positional[0] + ": the play list refused the file");
    transport.SetPlayRange(0, static_cast<int32_t>(in.Frames()), in.Rate());
    transport.SetLoop(false);
    transport.Render(&target);
    // Serves the audio thread's hand-overs (its stop at the end) while it renders.
    transport.WaitUntilStopped();
    core.PlayList()->Clear();

    if (!target.Message().empty() || target.FramesWritten() != in.Frames()) {
        std::string why = file->ErrorText().empty() ? target.Message() : file->ErrorText();
        if (why.empty()) why = "the render ended early";
        if (target.FramesWritten() != in.Frames()) file->Delete(); // a short file is no render of IN
        return Fail(positional[1] + ": " + why);
    }
    return 0;
}
