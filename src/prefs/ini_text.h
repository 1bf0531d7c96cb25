// The text model of an INI-style preference file: plain C++ on bytes, no Win32.
// A file's bytes are decoded (byte-order mark or ISO 8859-1) into one buffer and
// parsed in place, in one pass, into a list of entries that point into it. The
// document owns all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Format flags; they act only on saving.
constexpr uint32_t CompactSeparator = 1;        // "key=value" instead of "key = value"
constexpr uint32_t BlankLineBetweenGroups = 2;  // empty line before every header but the first

enum class ini_entry_kind : uint8_t { group_header, comment, key };

struct ini_span {
  char* data;
  size_t size;
};

struct ini_entry {
  std::unique_ptr<ini_entry> next;
  ini_entry_kind kind;
  ini_span name;                  // group name or key name; empty for a comment
  ini_span body;                  // comment text or key value
  std::unique_ptr<char[]> owned;  // storage of a name and value made by a write; none while both point into the text
  // The entries after this one go one at a time: a long list freed by recursion
  // would overflow the stack.
  ~ini_entry() {
    while (next) next = std::move(next->next);
  }
};

struct ini_document {
  std::unique_ptr<char[]> buffer;  // the decoded text the parsed entries point into
  std::unique_ptr<ini_entry> first;
  ini_entry* current_group;  // none: the leading section
  bool group_missing;        // the last selection found nothing: reads fall back, the next write creates it
  std::unique_ptr<char[]> missing_group;  // its name; none when no memory could be had for it (writes then fail)
  size_t missing_group_size;
  bool changed;
};

inline std::string_view View(ini_span span) { return {span.data, span.size}; }

// Puts a file's next `size` bytes at `into`; false when they cannot be had whole.
using ini_byte_reader = bool (*)(void* source, char* into, size_t size);
// Reads a file of raw_size bytes through `read` and parses it into `document`,
// in place of what it held. False, and the document empty, when the bytes
// cannot be read or memory for the text or its entries cannot be had.
bool ParseIniFile(ini_document& document, size_t raw_size, ini_byte_reader read, void* source);
// The same from a byte string: the entry point for golden and fuzz tests.
bool ParseIniString(ini_document& document, std::string_view file_bytes);

// Group names and key names compare as bytes with only ASCII letters folded.
bool IniNamesEqual(std::string_view a, std::string_view b);

// 1 when the group was found or the name is empty (the leading section), else 0.
int IniSelectGroup(ini_document& document, std::string_view name);
int64_t IniReadInt(const ini_document& document, std::string_view key, int64_t fallback);
// False when memory for a new entry cannot be had: the write then has no effect.
bool IniWriteInt(ini_document& document, std::string_view key, int64_t value);
bool IniWriteText(ini_document& document, std::string_view key, std::string_view value);

// Signed decimal with leading white space and an optional sign; no digits gives 0;
// digits beyond the 64-bit range saturate at the nearest bound.
int64_t ParseIniInteger(std::string_view value);

// The bytes a save writes, in one buffer of the exact size, or none when memory
// cannot be had.
std::unique_ptr<char[]> IniSavedBytes(const ini_document& document, uint32_t flags, size_t& size);
std::string IniSaveString(const ini_document& document, uint32_t flags);
