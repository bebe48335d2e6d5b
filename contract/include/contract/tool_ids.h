// The names by which hosts know the tool: its class in the registry and its
// links. Compositions store these, so they never change.
#pragma once

namespace taviron {

// The tool's record in the host's class registry.
inline constexpr char kToolClassID[] = "Orlemby.Taviron";

// IDs of the tool's inputs and of its output.
namespace link_id {
inline constexpr char kRed[] = "Red";
inline constexpr char kGreen[] = "Green";
inline constexpr char kBlue[] = "Blue";
inline constexpr char kAlpha[] = "Alpha";
inline constexpr char kFilterMethod[] = "FilterMethod";
inline constexpr char kSampleDirection[] = "SampleDirection";
inline constexpr char kFrames[] = "Frames";
inline constexpr char kThreshold[] = "Threshold";
inline constexpr char kInput[] = "Input";
inline constexpr char kOutput[] = "Output";
inline constexpr char kMask[] = "Mask";
inline constexpr char kUseData[] = "UseData";
inline constexpr char kTrackData[] = "TrackData";
inline constexpr char kAbout[] = "About";
}  // namespace link_id

}  // namespace taviron
