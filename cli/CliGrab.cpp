// CliGrab: "clipvane-cli grab FILE --frame N -o OUT", one decoded frame saved as BMP or JPEG.
#include "cli/CliCommands.h"

#include "engine/avi/EngineErrors.h"
#include "engine/decode/BgraImage.h"
#include "engine/decode/FrameGetter.h"
#include "engine/decode/PictureExport.h"
#include "engine/jobs/U_AVIExtractor.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace cli {

namespace {

const std::vector<TOption> GrabOptions = {
    {"frame", 0, true},
    {"output", 'o', true},
    {"force", 0, false},
};

struct TGetterCloser {
    PGETFRAME Getter;
    ~TGetterCloser() {
        if (Getter)
            AVIStreamGetFrameClose(Getter);
    }
};

// Decodes Frame as the preview does; reports on stderr and returns false when it cannot.
bool DecodeFrame(TAVIExtractor& Engine, int32_t Frame, TFrameBitmap* Bitmap) {
    auto held = Engine.AcquireLock();
    // Whatever is asked for, the getter delivers the display's 32-bit form.
    const TGetterCloser getter{AVIStreamGetFrameOpen(Engine.VideoStream, nullptr)};
    if (!getter.Getter) {
        PrintError(Engine.FileName + ": no decoder for its video (FourCC " +
                   FourCCToString(Engine.VideoInfo.fccHandler) + ")");
        return false;
    }
    const auto* dib = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(getter.Getter, Frame));
    if (!dib || !FrameBitmapFromDib(dib, *Bitmap)) {
        PrintError(Engine.FileName + ": Unable to extract frame " + std::to_string(Frame));
        return false;
    }
    return true;
}

} // namespace

int RunGrab(const std::vector<std::string>& Args) {
    TParsedArgs a;
    if (int exitCode = ExitOk; !ParseArgs("grab", Args, GrabOptions, 1, &a, &exitCode))
        return exitCode;
    for (const char* required : {"frame", "output"})
        if (!a.Has(required))
            return UsageError("grab", std::string("missing --") + required);
    int32_t frame = 0;
    if (!ParseFrameNumber(a.Values["frame"], &frame))
        return UsageError("grab",
                          "--frame needs a frame number from 0, not '" + a.Values["frame"] + "'");
    const std::string& file = a.Files[0];
    const std::string& output = a.Values["output"];
    if (PictureFormatOf(output) == TPictureFormat::None)
        return UsageError("grab", "'" + output +
                                      "': unknown picture type; the name must end in .bmp, .jpg "
                                      "or .jpeg");

    TAVIExtractor engine;
    if (!LoadSource(engine, file) || !CheckFrameInSource(engine, frame))
        return ExitFailed;
    TFrameBitmap picture;
    if (!DecodeFrame(engine, frame, &picture) || !PrepareOutput(file, output, a.Has("force")))
        return ExitFailed;
    // What PrepareOutput leaves in place is a device or pipe, which the picture writer would
    // remove after a failed write.
    if (std::error_code ec; std::filesystem::exists(std::filesystem::symlink_status(output, ec))) {
        PrintError(output + ": not a regular file");
        return ExitFailed;
    }
    try {
        SavePicture(output, picture);
    } catch (const std::exception& e) {
        PrintError(output + ": " + DescribeError(e));
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace cli
