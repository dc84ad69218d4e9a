#pragma once
// Where the mailing run reads the time: when an item was taken, when it was
// sent. Tests put a clock of their own in its place.

#include "platform/SysUtils.h"

class IRunClock {
public:
  virtual ~IRunClock() = default;
  virtual TDateTime Now() const = 0;
};

// The system's local time.
const IRunClock& SystemRunClock();
