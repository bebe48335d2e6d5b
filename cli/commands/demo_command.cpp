#include "commands/demo_command.h"

#include "commands/demo_clip.h"
#include "errors.h"
#include "io/writing/frame_file_writer.h"
#include "hosting/filtered_frame.h"
#include "hosting/plugin_session.h"
#include "hosting/sources.h"

#include <CLI/CLI.hpp>
#include <contract/combo_items.h>
#include <contract/tool_ids.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFrames = 9;
constexpr int kWindowFrames = 4;  // on each side: the middle frame sees all nine

constexpr const char* kComparisonFile = "comparison.png";

std::string FrameFileName(const char* name, int frame) {
    char file[64];
    std::snprintf(file, sizeof file, "%s.%04d.png", name, frame);
    return file;
}

std::string FramePath(const fs::path& directory, const char* name, int frame) {
    return (directory / FrameFileName(name, frame)).string();
}

// The demo may be pointed at a folder of the user's own ("." in a shot
// folder): it refuses one that holds anything under a name it would write.
void RefuseFilesItWouldOverwrite(const std::string& directory) {
    std::vector<std::string> names = {kComparisonFile};
    for (int frame = 1; frame <= kFrames; ++frame) {
        names.push_back(FrameFileName("input", frame));
        names.push_back(FrameFileName("output", frame));
    }
    std::string held;
    for (const std::string& name : names) {
        std::error_code error;
        if (fs::symlink_status(fs::path(directory) / name, error).type() != fs::file_type::not_found)
            held += (held.empty() ? "" : ", ") + name;
    }
    if (!held.empty())
        throw UsageError(directory + " already holds " + held +
                         ", which the demo would overwrite; give it a new or empty folder");
}

// Before on the left, after on the right.
taviron::HostRef<Image> SideBySide(const Image& before, const Image& after) {
    taviron::HostRef<Image> picture = taviron::HostRef<Image>(new Image(before.Width() * 2, before.Height(), PixelType::Float, false));
    FltPixel pixel;
    for (int y = 0; y < before.Height(); ++y) {
        for (int x = 0; x < before.Width(); ++x) {
            before.GetPixel(x, y, pixel);
            picture->SetPixel(x, y, pixel);
            after.GetPixel(x, y, pixel);
            picture->SetPixel(before.Width() + x, y, pixel);
        }
    }
    return picture;
}

}  // namespace

int RunDemo(const std::string& pluginPath, const std::string& directory) {
    RefuseFilesItWouldOverwrite(directory);
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) throw OutputError("cannot make the directory " + directory + ": " + error.message());

    PluginSession session(pluginPath);
    const DemoClip clip = MakeDemoClip(kWidth, kHeight, kFrames);
    session.InputWithID(taviron::link_id::kInput).Connect(std::make_shared<MemoryClipSource>(clip.frames));
    session.SetControl(taviron::link_id::kFilterMethod, static_cast<double>(taviron::FilterMethod::Median));
    session.SetControl(taviron::link_id::kSampleDirection, static_cast<double>(taviron::SampleDirection::Both));
    session.SetControl(taviron::link_id::kFrames, kWindowFrames);

    const FrameFormat format = EightBitFormat(kWidth, kHeight, 3);
    double psnrBefore = 0.0;
    double psnrAfter = 0.0;
    for (const auto& [frame, input] : clip.frames) {
        const HostRef<Image> output = FilteredFrame(session.Tool(), session.OutputWithID(taviron::link_id::kOutput), frame);
        psnrBefore += Psnr(*input, *clip.background) / kFrames;
        psnrAfter += Psnr(*output, *clip.background) / kFrames;
        WriteFrameFile(FramePath(directory, "input", frame), *input, format, nullptr, OIIO::TypeDesc::UINT8);
        WriteFrameFile(FramePath(directory, "output", frame), *output, format, nullptr, OIIO::TypeDesc::UINT8);
        if (frame == (kFrames + 1) / 2) {
            const taviron::HostRef<Image> comparison = SideBySide(*input, *output);
            WriteFrameFile((fs::path(directory) / kComparisonFile).string(), *comparison,
                           EightBitFormat(comparison->Width(), comparison->Height(), 3), nullptr,
                           OIIO::TypeDesc::UINT8);
        }
    }
    std::printf("Filtered %d noisy %dx%d frames with moving shapes: median over up to %d frames (Frames %d, Both).\n",
                kFrames, kWidth, kHeight, 2 * kWindowFrames + 1, kWindowFrames);
    std::printf("PSNR against the clean background: before %.1f dB, after %.1f dB.\n", psnrBefore, psnrAfter);
    std::printf("Wrote %s: input.0001-%04d.png, output.0001-%04d.png and comparison.png (before | after, frame %d).\n",
                directory.c_str(), kFrames, kFrames, (kFrames + 1) / 2);
    std::printf("The same on files: taviron render -i %s/input.####.png -o clean.####.png --frames %d --method median\n",
                directory.c_str(), kWindowFrames);
    return 0;
}

CLI::App& AddDemoCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& demo = *app.add_subcommand("demo", "Clean a synthetic noisy clip and show before and after");
    const auto directory = std::make_shared<std::string>("taviron-demo");
    demo.add_option("directory", *directory, "Where to write the frames")->capture_default_str();
    demo.callback([directory, &chosen] {
        chosen = [directory](const std::string& pluginPath) { return RunDemo(pluginPath, *directory); };
    });
    return demo;
}

}  // namespace taviron::cli
