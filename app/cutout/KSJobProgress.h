#pragma once

// Where each phase of a cut-out job sits on the progress bar (0..1). The
// shares follow the time the phases take (bench_job_phases): the service's
// task, that is the engine, is most of a job; reading and reducing the
// photo, and refining and writing the cut-out at its full size, take a
// real share on a large photo; the upload and the mask's download, both
// over 127.0.0.1, take little.
namespace KSJobProgress {

inline constexpr double kPrepared = 0.06;   // photo read, reduced, its copy written
inline constexpr double kUploaded = 0.08;   // credentials, the copy stored, its record made
inline constexpr double kTaskDone = 0.88;   // the service's task: waiting and the engine
inline constexpr double kDownloaded = 0.89; // the mask fetched
inline constexpr double kCutDone = 0.96;    // mask refined and applied at the photo's size; writing follows

// A fraction (clamped to 0..1) of the phase from `start` to `end`.
[[nodiscard]] double within(double start, double end, double fraction);

[[nodiscard]] inline double upload(double fraction) { return within(kPrepared, kUploaded, fraction); }
[[nodiscard]] inline double task(double fraction) { return within(kUploaded, kTaskDone, fraction); }
[[nodiscard]] inline double download(double fraction) { return within(kTaskDone, kDownloaded, fraction); }

} // namespace KSJobProgress
