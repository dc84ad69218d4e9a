#pragma once
// Small timing helpers.

#include <cstdint>

// Busy wait: no sleeping and no message processing inside.
void Delay(int32_t milliseconds);

// Local time of day: hour * 3600 + minute * 60 + second.
int32_t TimeOfDaySeconds();
// Local time of day in milliseconds.
int32_t TimeOfDayMs();
