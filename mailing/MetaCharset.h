#pragma once
// The editor's HTML as the project stores it: the first META http-equiv tag
// of the serialised document declares the project's character set.

#include <string>

// The tag that replaces the first META http-equiv tag.
std::string MetaCharsetTag(const std::string& mimeName);

// Html with its first "<meta http-equiv" (tag name and attribute compared
// without regard to case: the engine writes tags in lower case) replaced up
// to its ">" by MetaCharsetTag. Unchanged when there is no such tag or a "<"
// or the end of the text comes before its ">"; a later META tag stays.
std::string RewriteMetaCharset(const std::string& html, const std::string& mimeName);
