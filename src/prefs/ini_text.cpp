#include "prefs/ini_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A file of raw_size bytes is read into a buffer of 2 * raw_size + 2 bytes, at
// offset raw_size + 2, so that the Latin-1 expansion written from the start
// never overtakes the bytes still to read.
char* RawArea(char* buffer, size_t raw_size) { return buffer + raw_size + 2; }

size_t DecodeLatin1InPlace(char* buffer, size_t raw_size) {
  const unsigned char* in = reinterpret_cast<unsigned char*>(RawArea(buffer, raw_size));
  size_t out = 0;
  for (size_t i = 0; i < raw_size; ++i) {
    unsigned char b = in[i];
    if (b < 0x80) {
      buffer[out++] = static_cast<char>(b);
    } else {
      buffer[out++] = static_cast<char>(0xC0 | (b >> 6));
      buffer[out++] = static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

char* FindInLine(char* p, char* line_end, char wanted) {
  return static_cast<char*>(std::memchr(p, wanted, static_cast<size_t>(line_end - p)));
}

// Parses one line, from `p` (past its leading blanks, not empty) to `line_end`.
void ParseLine(char* p, char* line_end, ini_entry& entry) {
  if (*p == ';') {
    ++p;
    if (p < line_end && *p == ' ') ++p;
    entry.kind = ini_entry_kind::comment;
    entry.name = {p, 0};
    entry.body = {p, static_cast<size_t>(line_end - p)};
    return;
  }
  if (*p == '[') {
    ++p;
    char* close = FindInLine(p, line_end, ']');
    entry.kind = ini_entry_kind::group_header;
    entry.name = {p, static_cast<size_t>((close ? close : line_end) - p)};
    entry.body = {line_end, 0};
    return;
  }
  char* equals = FindInLine(p, line_end, '=');
  char* name_end = equals ? equals : line_end;
  while (name_end > p && IsBlank(name_end[-1])) --name_end;
  entry.kind = ini_entry_kind::key;
  entry.name = {p, static_cast<size_t>(name_end - p)};
  char* value = equals ? equals + 1 : line_end;
  while (value < line_end && IsBlank(*value)) ++value;
  entry.body = {value, static_cast<size_t>(line_end - value)};
}

// Appends one entry per line of [p, end); blank lines and leading blanks are
// skipped. False when memory for an entry cannot be had.
bool ParseLines(ini_document& document, char* p, char* end) {
  std::unique_ptr<ini_entry>* link = &document.first;
  for (;;) {
    while (p < end && (IsBlank(*p) || IsLineBreak(*p))) ++p;
    if (p == end) return true;
    char* line_end = p;
    while (line_end < end && !IsLineBreak(*line_end)) ++line_end;
    link->reset(new (std::nothrow) ini_entry{});
    if (!*link) return false;
    ParseLine(p, line_end, **link);
    link = &(*link)->next;
    p = line_end;
  }
}

ini_entry* FirstOfCurrentGroup(const ini_document& document) {
  return (document.current_group ? document.current_group->next : document.first).get();
}

ini_entry* FindKey(const ini_document& document, std::string_view key) {
  for (ini_entry* e = FirstOfCurrentGroup(document); e && e->kind != ini_entry_kind::group_header;
       e = e->next.get()) {
    if (e->kind == ini_entry_kind::key && IniNamesEqual(View(e->name), key)) return e;
  }
  return nullptr;
}

// The link a new key of the current group goes into: after its last entry,
// before the next header or at the end; for an empty leading section, first.
std::unique_ptr<ini_entry>* EndOfCurrentGroup(ini_document& document) {
  std::unique_ptr<ini_entry>* link = document.current_group ? &document.current_group->next : &document.first;
  while (*link && (*link)->kind != ini_entry_kind::group_header) link = &(*link)->next;
  return link;
}

void LinkAt(std::unique_ptr<ini_entry>* link, std::unique_ptr<ini_entry> entry) {
  entry->next = std::move(*link);
  *link = std::move(entry);
}

void ForgetMissingGroup(ini_document& document) {
  document.missing_group.reset();
  document.missing_group_size = 0;
  document.group_missing = false;
}

// Appends a header for the missing group and makes it current; it takes over
// the name's storage.
bool CreateMissingGroup(ini_document& document) {
  if (!document.missing_group) return false;
  std::unique_ptr<ini_entry> header(new (std::nothrow) ini_entry{});
  if (!header) return false;
  header->kind = ini_entry_kind::group_header;
  header->name = {document.missing_group.get(), document.missing_group_size};
  header->owned = std::move(document.missing_group);
  document.current_group = header.get();
  std::unique_ptr<ini_entry>* link = &document.first;
  while (*link) link = &(*link)->next;
  LinkAt(link, std::move(header));
  ForgetMissingGroup(document);
  return true;
}

// Stores the key as the caller spells it (only ASCII case can differ from a
// found key) and the value: in place when the value fits, else in new storage.
bool StoreKey(ini_entry& entry, std::string_view key, std::string_view value) {
  if (key.size() != entry.name.size || value.size() > entry.body.size) {
    std::unique_ptr<char[]> owned(new (std::nothrow) char[key.size() + value.size()]);
    if (!owned) return false;
    entry.owned = std::move(owned);
    entry.name.data = entry.owned.get();
    entry.body.data = entry.owned.get() + key.size();
  }
  entry.name.size = key.size();
  entry.body.size = value.size();
  std::copy(key.begin(), key.end(), entry.name.data);
  std::copy(value.begin(), value.end(), entry.body.data);
  return true;
}

struct save_output {
  char* out;  // null: only count
  size_t size;
};

void Put(save_output& to, std::string_view s) {
  if (to.out) std::copy(s.begin(), s.end(), to.out + to.size);
  to.size += s.size();
}

void PutEntry(save_output& to, const ini_entry& e, uint32_t flags, bool& first_header) {
  switch (e.kind) {
    case ini_entry_kind::group_header:
      if ((flags & BlankLineBetweenGroups) && !first_header) Put(to, "\r\n");
      first_header = false;
      Put(to, "[");
      Put(to, View(e.name));
      Put(to, "]\r\n");
      return;
    case ini_entry_kind::comment:
      Put(to, "; ");
      Put(to, View(e.body));
      Put(to, "\r\n");
      return;
    case ini_entry_kind::key:
      Put(to, View(e.name));
      Put(to, (flags & CompactSeparator) ? "=" : " = ");
      Put(to, View(e.body));
      Put(to, "\r\n");
      return;
  }
}

// Writes the saved form to `out` when given; returns its size either way.
size_t WriteSaved(const ini_document& document, uint32_t flags, char* out) {
  save_output to{out, 0};
  Put(to, "\xEF\xBB\xBF\r\n");  // every file is saved with the mark
  bool first_header = true;
  for (const ini_entry* e = document.first.get(); e; e = e->next.get()) PutEntry(to, *e, flags, first_header);
  return to.size;
}

}  // namespace

bool ParseIniFile(ini_document& document, size_t raw_size, ini_byte_reader read, void* source) {
  document = {};
  if (raw_size > (std::numeric_limits<size_t>::max() - 2) / 2) return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[2 * raw_size + 2]);
  if (!buffer) return false;
  char* raw = RawArea(buffer.get(), raw_size);
  if (!read(source, raw, raw_size)) return false;
  const bool marked = raw_size >= 3 && std::memcmp(raw, "\xEF\xBB\xBF", 3) == 0;
  char* text = marked ? raw + 3 : buffer.get();  // already UTF-8: parsed where it was read
  size_t text_size = marked ? raw_size - 3 : DecodeLatin1InPlace(buffer.get(), raw_size);
  document.buffer = std::move(buffer);
  if (ParseLines(document, text, text + text_size)) return true;
  document = {};
  return false;
}

bool ParseIniString(ini_document& document, std::string_view file_bytes) {
  const ini_byte_reader copy = [](void* source, char* into, size_t size) {
    return static_cast<std::string_view*>(source)->copy(into, size) == size;
  };
  return ParseIniFile(document, file_bytes.size(), copy, &file_bytes);
}

bool IniNamesEqual(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

int IniSelectGroup(ini_document& document, std::string_view name) {
  ForgetMissingGroup(document);
  if (name.empty()) {
    document.current_group = nullptr;
    return 1;
  }
  for (ini_entry* e = document.first.get(); e; e = e->next.get()) {
    if (e->kind == ini_entry_kind::group_header && IniNamesEqual(View(e->name), name)) {
      document.current_group = e;
      return 1;
    }
  }
  document.group_missing = true;
  document.missing_group.reset(new (std::nothrow) char[name.size()]);
  if (document.missing_group) {
    std::copy(name.begin(), name.end(), document.missing_group.get());
    document.missing_group_size = name.size();
  }
  return 0;
}

int64_t ParseIniInteger(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  constexpr uint64_t most_positive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  const uint64_t limit = negative ? most_positive + 1 : most_positive;
  uint64_t magnitude = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    unsigned digit = static_cast<unsigned>(value[i] - '0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;  // saturate; the remaining digits change nothing
      break;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (negative) return magnitude == most_positive + 1 ? std::numeric_limits<int64_t>::min()
                                                      : -static_cast<int64_t>(magnitude);
  return static_cast<int64_t>(magnitude);
}

int64_t IniReadInt(const ini_document& document, std::string_view key, int64_t fallback) {
  if (document.group_missing) return fallback;
  const ini_entry* entry = FindKey(document, key);
  return entry ? ParseIniInteger(View(entry->body)) : fallback;
}

bool IniWriteText(ini_document& document, std::string_view key, std::string_view value) {
  if (document.group_missing && !CreateMissingGroup(document)) return false;
  if (ini_entry* entry = FindKey(document, key)) {
    if (!StoreKey(*entry, key, value)) return false;
  } else {
    std::unique_ptr<ini_entry> created(new (std::nothrow) ini_entry{});
    if (!created) return false;
    created->kind = ini_entry_kind::key;
    if (!StoreKey(*created, key, value)) return false;
    LinkAt(EndOfCurrentGroup(document), std::move(created));
  }
  document.changed = true;
  return true;
}

bool IniWriteInt(ini_document& document, std::string_view key, int64_t value) {
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  return IniWriteText(document, key, std::string_view(digits, static_cast<size_t>(end.ptr - digits)));
}

std::unique_ptr<char[]> IniSavedBytes(const ini_document& document, uint32_t flags, size_t& size) {
  size = WriteSaved(document, flags, nullptr);
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[size]);
  if (bytes) WriteSaved(document, flags, bytes.get());
  return bytes;
}

std::string IniSaveString(const ini_document& document, uint32_t flags) {
  std::string bytes(WriteSaved(document, flags, nullptr), '\0');
  WriteSaved(document, flags, bytes.data());
  return bytes;
}
