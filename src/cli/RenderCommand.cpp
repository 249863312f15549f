// sonquil-cli render IN OUT [--set KIND:ID=VALUE ...] [--bits N]
// Plays IN through the mastering stack as an export render does, in engine blocks, and writes
// OUT with the writer its extension names. --bits is the render's sample width: it chooses the
// dither word length and the width of OUT.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFileFactory.h"
#include "cli/Commands.h"
#include "cli/TerminalUiPort.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "dsp/CDSPStack.h"

namespace {

const char* const kUsage = "usage: render IN OUT [--set KIND:ID=VALUE ...] [--bits 8|16|24|32]";

bool ParseWhole(const std::string& s, long lo, long hi, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

struct Setting {
    int kind = 0, id = 0;
    float value = 0.0f;
};

// "KIND:ID=VALUE", kind 0 to 3, id 0 to 49, value a finite number.
bool ParseSetting(const std::string& s, Setting& out) {
    const size_t colon = s.find(':'), eq = s.find('=');
    if (colon == std::string::npos || eq == std::string::npos || eq < colon) return false;
    long kind, id;
    if (!ParseWhole(s.substr(0, colon), 0, 3, kind) || !ParseWhole(s.substr(colon + 1, eq - colon - 1), 0, 49, id))
        return false;
    const std::string v = s.substr(eq + 1);
    if (v.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(v.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return false;
    out.kind = static_cast<int>(kind);
    out.id = static_cast<int>(id);
    out.value = static_cast<float>(value);
    return true;
}

// The input by its contents (KX64 by its mark), through the one factory of the audio files.
std::unique_ptr<AudioFile> OpenReader(const std::string& path, std::string& error) {
    std::string folder, name;
    SplitAudioPath(path, folder, name);
    int32_t code = -1;
    return OpenAudioFileByProbe(folder, name, nullptr, code, error);
}

std::unique_ptr<AudioFile> MakeWriter(const std::string& path, int32_t& sampleType, std::string& error) {
    std::string folder, name;
    SplitAudioPath(path, folder, name);
    return MakeWriterForExtension(folder, name, sampleType, error);
}

} // namespace

int RenderCommand(const Args& args) {
    std::vector<std::string> positional;
    std::vector<Setting> settings;
    long bits = 16;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--set" || a == "--bits") {
            if (i + 1 >= args.size()) return Fail(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--bits") {
                if (!ParseWhole(v, 8, 32, bits) || bits % 8 != 0) return Fail("--bits must be 8, 16, 24 or 32");
            } else {
                Setting s;
                if (!ParseSetting(v, s)) return Fail("bad --set " + v + " (KIND:ID=VALUE, KIND 0 to 3)");
                settings.push_back(s);
            }
        } else if (a.rfind("--", 0) == 0) {
            return Fail("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return Fail(kUsage);

    // The same core as the program's, without a library: the whole chain, wired once.
    TerminalUiPort ui;
    MainThreadPort mainThread;
    CCore core(ui, mainThread);
    CoreOptions options;
    options.withLibrary = false;
    if (core.Start(options) != CCore::StartResult::Running) return 1; // the core said why
    std::string error;
    for (const Setting& s : settings)
        if (!core.SetParameter(s.kind, s.id, s.value, error)) return Fail(error);
    CDSPStack& stack = *core.Stack();

    std::unique_ptr<AudioFile> in = OpenReader(positional[0], error);
    if (!in) return Fail(positional[0] + ": " + error);
    int32_t outType = kSampleInt;
    std::unique_ptr<AudioFile> out = MakeWriter(positional[1], outType, error);
    if (!out) return Fail(error);
    if (!out->OpenWrite(in->channels, in->rate, static_cast<int32_t>(bits), outType))
        return Fail(positional[1] + ": " + out->ErrorText());

    const int32_t block = 4096 * (in->rate / 50000 + 1);
    std::vector<float> buffer(static_cast<size_t>(block) * 2);
    stack.ResetAll();
    bool writeOk = true;
    for (int64_t done = 0; done < in->frames;) {
        const int32_t got = in->ReadFloat(buffer.data(), block);
        if (got <= 0) break;
        stack.ProcessBlock(buffer.data(), got, in->rate, true, static_cast<int>(bits));
        if (out->WriteFloat(buffer.data(), got) <= 0) {
            writeOk = false;
            break;
        }
        done += got;
    }
    const bool finished = out->FinishWrite() && writeOk;
    out->Close();
    in->Close();
    if (!finished) {
        std::string message = out->ErrorText().empty() ? "write failed" : out->ErrorText();
        out->Delete();
        return Fail(positional[1] + ": " + message);
    }
    return 0;
}
