#pragma once
// Shared by the MIME units of net/ (text helpers and charsets, header writing, building,
// parsing). Private to net/: nothing outside the folder includes it.

#include <gmime/gmime.h>

#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "platform/SysUtils.h"

namespace netmime {

// ---- text helpers (MimeCommon.cpp)

std::string Lower(std::string s);  // A-Z only
// Header text from a table or a message: control characters (CR and LF above all) become
// blanks, so a value can never end its header and start another.
std::string CleanHeaderText(const std::string& s);
// The string GLib allocated, freed.
std::string GFree(char* s);
// Type and subtype of a Content-Type value, lower case. False (and text/plain) when Full
// is no "type/subtype" of MIME tokens.
bool SplitType(const std::string& full, std::string& type, std::string& sub);

// The GObject reference owner.
template <class T>
struct GRef {
  T* p = nullptr;
  GRef() = default;
  explicit GRef(T* x) : p(x) {}
  ~GRef() {
    if (p) g_object_unref(p);
  }
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  T* get() const { return p; }
};

// ---- date-times (MimeCommon.cpp): the program's local day counts and GLib's date-times

TDateTime FromGDateTime(GDateTime* dt);
// A new reference; the current time for a value out of range.
GDateTime* ToGDateTime(TDateTime v);

// ---- charsets (MimeCharset.cpp)

bool ValidUtf8(const std::string& s);
bool IsUserDefined(const std::string& charset);
// Converts with iconv; unconvertible input is replaced (Replacement in the target's terms)
// and skipped by one character (FromUtf8) or one byte. False when iconv lacks the pair.
bool IconvConvert(const std::string& in, const char* to, const char* from, bool fromUtf8,
                  const std::string& replacement, std::string& out);

// ---- header writing (MimeHeaderWriter.cpp)

struct THeaderWriter {
  std::string out;
  // Writes Name: tokens, folding before a token that would pass 76 characters.
  // Sep goes between tokens (" " or ", ").
  void Add(const std::string& name, const std::vector<std::string>& tokens, const std::string& sep = " ");
};

// Unstructured text (Subject and the like) as tokens for folding: plain words, or encoded
// words when the text needs them. Header is the name the first word follows.
std::vector<std::string> UnstructuredTokens(const std::string& text, const std::string& charset,
                                            const std::string& header = "X-Header");
// One address as a single token group: the display name's words then "<address>", or the
// address alone without a name. FirstWord bounds the first encoded word.
std::vector<std::string> AddressTokens(const TIdEMailAddressItem& a, const std::string& charset, size_t firstWord = 75);
// Name: every address of List, separated by commas.
void AddAddressHeader(THeaderWriter& w, const std::string& name, const std::vector<const TIdEMailAddressItem*>& list,
                      const std::string& charset);
// The addresses of L that are not empty.
std::vector<const TIdEMailAddressItem*> NonEmpty(const TIdEMailAddressList& l);
// The Date header's value: Now, or When.
std::string RfcDate(TDateTime when, bool now);
// A new, unique message id (without the angle brackets) at Domain.
std::string NewMessageId(const std::string& domain);

}  // namespace netmime
