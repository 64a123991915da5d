#pragma once

// A task's state as a poll reports it in data.status (a JSON integer) and as
// the service stores it.
namespace KSTaskStatus {
inline constexpr int waiting = 0;
inline constexpr int running = 1;
inline constexpr int done = 2; // data.mask_file_url names the mask
inline constexpr int failed = -1; // data.error says why
} // namespace KSTaskStatus
