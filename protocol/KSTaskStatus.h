#pragma once

// A task's state as a poll reports it in data.status (a JSON integer) and as
// the service stores it.
namespace KSTaskStatus {
inline constexpr int waiting = 0;
inline constexpr int running = 1;
inline constexpr int done = 2; // data.mask_file_url names the mask
inline constexpr int failed = -1; // data.error says why

// How data.error begins when the engine found nothing to cut out (a blank
// or uniform picture): the client tells the user so rather than a failure.
inline constexpr char noSubjectError[] = "no subject found";
} // namespace KSTaskStatus
