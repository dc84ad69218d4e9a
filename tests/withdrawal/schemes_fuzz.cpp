// Feeds arbitrary bytes as "Schemes.dat": the schemes read must write back
// to bytes that read as the same schemes, and parsing the bytes as a text
// with the markers read must stay inside the text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "withdrawal/SchemesFile.h"
#include "withdrawal/ValueParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TSchemes schemes = DecodeSchemes(bytes);
  if (DecodeSchemes(EncodeSchemes(schemes)) != schemes) std::abort();
  for (TScheme& s : schemes) {
    ParseSchemeText(s, bytes);
    for (const auto& v : s.Values)
      if (v.Value.size() > bytes.size()) std::abort();
  }
  // The bytes also as markers of one scheme over themselves.
  TScheme s;
  for (size_t at = 0; at < size && s.Markers.size() < 8; at += 1 + size / 8) s.Markers.push_back(bytes.substr(at, 3));
  for (const std::string& m : s.Markers)
    for (const std::string* upTo : {&EndOfLineMarker, &AnyMarkerMarker, &EndOfTextMarker, &m})
      s.Values.push_back({m, *upTo, "", ""});
  s.Values.push_back({BeginningOfTextMarker, EndOfLineMarker, "", ""});
  ParseSchemeText(s, bytes);
  return 0;
}
