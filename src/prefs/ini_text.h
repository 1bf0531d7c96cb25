// The text model of an INI-style preference file: plain C++ on bytes, no Win32.
// A file's bytes are decoded (byte-order mark or ISO 8859-1) into one buffer and
// parsed in place, in one pass, into a list of entries that point into it.
#pragma once

#include <cstddef>
#include <cstdint>
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
  ini_entry* next;
  ini_entry_kind kind;
  ini_span name;  // group name or key name; empty for a comment
  ini_span body;  // comment text or key value
  char* owned;    // storage of a name and value made by a write; null while both point into the text
};

struct ini_document {
  char* buffer;  // the decoded text the parsed entries point into
  ini_entry* first;
  ini_entry* current_group;  // none: the leading section
  bool group_missing;        // the last selection found nothing: reads fall back, the next write creates it
  char* missing_group;       // its name; null when no memory could be had for it (writes then fail)
  size_t missing_group_size;
  bool changed;
};

inline std::string_view View(ini_span span) { return {span.data, span.size}; }

// A buffer for a file of raw_size bytes with room to decode it in place, or null.
char* AllocateIniBuffer(size_t raw_size);
// Where the file's raw bytes are to be read into that buffer.
char* IniRawArea(char* buffer, size_t raw_size);
// Decodes the raw bytes in place and parses them into an empty (zeroed or freed)
// document, which takes the buffer. False (and the buffer freed) when memory for
// the entries cannot be had.
bool ParseIniBuffer(ini_document& document, char* buffer, size_t raw_size);
// The same from a byte string: the entry point for golden and fuzz tests.
bool ParseIniString(ini_document& document, std::string_view file_bytes);
// Frees everything and zeroes the document.
void FreeIniDocument(ini_document& document);

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

// The bytes a save writes, in one new[] buffer of the exact size, or null when
// memory cannot be had.
char* IniSavedBytes(const ini_document& document, uint32_t flags, size_t& size);
std::string IniSaveString(const ini_document& document, uint32_t flags);
