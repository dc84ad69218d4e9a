#pragma once
// Small timing helpers and the file-open mode that the container's open and
// create calls use.

#include <cstdint>

// Busy wait: no sleeping and no message processing inside.
void Delay(int32_t milliseconds);

// Local time of day: hour * 3600 + minute * 60 + second.
int32_t TimeOfDaySeconds();
// Local time of day in milliseconds.
int32_t TimeOfDayMs();

// The file-open mode: access code (0 read-only, 1 write-only, 2 read/write)
// plus share code (0x10 exclusive, 0x20 deny write, 0x30 deny read, 0x40 deny none).
extern int32_t DiskFileMode;
constexpr int32_t DiskModeReadWriteShared = 0x42;

// Sets DiskFileMode from access 0..2 and share 0..3. Any other value leaves the
// mode unchanged and returns false (the caller reports an invalid access code).
bool SetFileModeFor(int32_t access, int32_t share);
