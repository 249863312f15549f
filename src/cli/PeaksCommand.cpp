#include <cstdio>

#include "audiofile/AudioFileFactory.h"
#include "audiofile/PeakRebuild.h"
#include "cli/Commands.h"

int PeaksCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"rate", "channels", "bits", "order"}, {"float"}, o, error)) return Fail(error);
    if (o.positional.size() != 2) return Fail("usage: peaks AUDIOFILE PEAKFILE");
    int code = -1;
    std::unique_ptr<AudioFile> file = OpenInput(o.positional[0], o, code, error);
    if (!file) return Fail(o.positional[0] + ": " + error);
    PeakTarget target;
    SplitAudioPath(o.positional[1], target.peakFolder, target.peakName);
    target.displayName = o.positional[0];
    target.rate = file->rate;
    target.frames = file->frames;
    file->Close();
    PeakBuffers buffers;
    bool cancelled = false;
    if (!RebuildPeaks(*file, target, nullptr, false, cancelled, buffers))
        return Fail(o.positional[1] + ": can't build the peak file");
    std::printf("entries %zu\nframes per entry %d\n", buffers.peaks.size() / 2, PeakFramesPerEntry(target.rate));
    return 0;
}
