#pragma once
// The sixteen highlight rules of the table view, one per fixed colour. The
// colour combo of the Filter page and the sort colour of the Options dialog
// list the same sixteen colours in the same order.

#include <array>
#include <cstdint>
#include <string>

constexpr int HighlightSlotCount = 16;

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

struct THighlightSlot {
  bool Enabled = false;
  std::string Expression;
  TRgb Color;  // fixed at creation
};

using THighlightSlots = std::array<THighlightSlot, HighlightSlotCount>;

// Black, maroon, green, olive, navy, purple, teal, gray, silver, red, lime,
// yellow, blue, fuchsia, aqua, white.
const std::array<TRgb, HighlightSlotCount>& HighlightColors();
// "Black" ... "White", as the colour combo shows them.
const std::array<std::string, HighlightSlotCount>& HighlightColorNames();

// Sixteen disabled, empty slots with their colours.
THighlightSlots NewHighlightSlots();

// The colour of a slot index; black for an index out of range.
TRgb SlotColor(int slot);
