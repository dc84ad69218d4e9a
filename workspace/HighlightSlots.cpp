#include "workspace/HighlightSlots.h"

const std::array<TRgb, HighlightSlotCount>& HighlightColors() {
  static const std::array<TRgb, HighlightSlotCount> colors{{
      {0, 0, 0},       {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
      {0, 0, 128},     {128, 0, 128}, {0, 128, 128},   {128, 128, 128},
      {192, 192, 192}, {255, 0, 0},   {0, 255, 0},     {255, 255, 0},
      {0, 0, 255},     {255, 0, 255}, {0, 255, 255},   {255, 255, 255},
  }};
  return colors;
}

const std::array<std::string, HighlightSlotCount>& HighlightColorNames() {
  static const std::array<std::string, HighlightSlotCount> names{
      "Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray",
      "Silver", "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
  return names;
}

THighlightSlots NewHighlightSlots() {
  THighlightSlots slots;
  for (int i = 0; i < HighlightSlotCount; ++i) slots[i].Color = HighlightColors()[i];
  return slots;
}

TRgb SlotColor(int slot) {
  if (slot < 0 || slot >= HighlightSlotCount) return {};
  return HighlightColors()[slot];
}
