#pragma once

// The routes of the cut-out web API, spoken by the client and served by the
// local service. Each is a path below the service's address.
namespace KSProtocolPaths {
// GET: short-lived storage credentials for the bearer token.
inline constexpr char authentications[] = "/api/authentications";
// POST: registers an uploaded resource.
inline constexpr char resources[] = "/api/resources";
// POST + the cut-out type's raw value creates a task; GET + a task id polls it.
inline constexpr char tasks[] = "/api/tasks/";
// POST: tasks + a task id + this drops a waiting or running task.
inline constexpr char taskCancel[] = "/cancel";
// GET + a mask's secret name downloads the mask.
inline constexpr char masks[] = "/api/masks/";
// POST: the storage's callback after an upload, made by the storage alone.
inline constexpr char storageCallback[] = "/api/storage/callback";
} // namespace KSProtocolPaths
