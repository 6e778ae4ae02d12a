// Self-registration: installed components that register themselves (COM servers in
// libraries and programs, type libraries) are queued as they are installed and registered
// together later, once everything they depend on is in place.
#pragma once

namespace tarn {

constexpr int kRegistrationQueueCapacity = 1024;

// Queues an installed file: a ".TLB" always; any other file when it starts with "MZ" or
// cannot be opened now (it may wait for replacement at restart). Beyond 1024 entries a
// path is dropped.
void QueueSelfRegistration(const char* path);

// Registers every queued file in queue order, logging each, and empties the queue.
void RegisterQueuedFiles();

// The registration of one file through its DllRegisterServer after OleInitialize: the way
// for files that are not 32-bit images. 0 when registered.
int RegisterThroughServerEntry(const char* path);

}  // namespace tarn
