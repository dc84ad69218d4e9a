#pragma once
// Cutting values out of a text with a scheme: first every occurrence of every
// marker is found (case-insensitively, character by character), then each
// value rule reads from after its marker up to the place its up-to text names.

#include <string>

#include "withdrawal/Scheme.h"

// Sets the Value of every rule of the scheme from the text. Positions are
// byte positions of the UTF-8 text; a value never starts or ends inside a
// character.
void ParseSchemeText(TScheme& scheme, const std::string& text);
