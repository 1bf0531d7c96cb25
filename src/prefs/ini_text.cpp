#include "prefs/ini_text.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Raw bytes sit at offset raw_size + 2 of a 2 * raw_size + 2 byte buffer, so the
// Latin-1 expansion written from the start never overtakes the bytes still to read.
size_t DecodeLatin1InPlace(char* buffer, size_t raw_size) {
  const unsigned char* in = reinterpret_cast<unsigned char*>(IniRawArea(buffer, raw_size));
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

size_t CountLineBreaks(const char* text, size_t size) {
  size_t count = 0;
  for (size_t i = 0; i < size; ++i) count += IsLineBreak(text[i]);
  return count;
}

void Append(ini_document& document, ini_entry* entry) {
  entry->next = nullptr;
  entry->previous = document.last;
  if (document.last) document.last->next = entry; else document.first = entry;
  document.last = entry;
}

void InsertAfter(ini_document& document, ini_entry* anchor, ini_entry* entry) {
  if (!anchor) {
    entry->previous = nullptr;
    entry->next = document.first;
    if (document.first) document.first->previous = entry; else document.last = entry;
    document.first = entry;
    return;
  }
  entry->previous = anchor;
  entry->next = anchor->next;
  if (anchor->next) anchor->next->previous = entry; else document.last = entry;
  anchor->next = entry;
}

// Parses one line starting at `p` (already past any leading blanks) into `entry`.
void ParseLine(char* p, char* line_end, ini_entry& entry) {
  entry = {};
  if (*p == ';') {
    ++p;
    if (p < line_end && *p == ' ') ++p;
    entry.kind = ini_entry_kind::comment;
    entry.body = {p, static_cast<size_t>(line_end - p)};
    return;
  }
  if (*p == '[') {
    ++p;
    char* close = static_cast<char*>(std::memchr(p, ']', static_cast<size_t>(line_end - p)));
    entry.kind = ini_entry_kind::group_header;
    entry.name = {p, static_cast<size_t>((close ? close : line_end) - p)};
    return;
  }
  entry.kind = ini_entry_kind::key;
  char* equals = static_cast<char*>(std::memchr(p, '=', static_cast<size_t>(line_end - p)));
  char* name_end = equals ? equals : line_end;
  while (name_end > p && IsBlank(name_end[-1])) --name_end;
  entry.name = {p, static_cast<size_t>(name_end - p)};
  if (!equals) {
    entry.body = {line_end, 0};
    return;
  }
  char* value = equals + 1;
  while (value < line_end && IsBlank(*value)) ++value;
  entry.body = {value, static_cast<size_t>(line_end - value)};
}

void ParseEntries(ini_document& document) {
  char* p = document.text;
  char* end = document.text + document.text_size;
  size_t used = 0;
  while (p < end) {
    while (p < end && IsLineBreak(*p)) ++p;
    while (p < end && IsBlank(*p)) ++p;
    char* line_end = p;
    while (line_end < end && !IsLineBreak(*line_end)) ++line_end;
    if (p < line_end) {
      ini_entry& entry = document.parsed[used++];
      ParseLine(p, line_end, entry);
      Append(document, &entry);
    }
    p = line_end;
  }
}

// The last entry of the current group (or of the leading section); null when the
// leading section is empty, so an insertion there goes first.
ini_entry* LastEntryOfCurrentGroup(const ini_document& document) {
  ini_entry* last = document.current_group;
  ini_entry* e = document.current_group ? document.current_group->next : document.first;
  for (; e && e->kind != ini_entry_kind::group_header; e = e->next) last = e;
  return last;
}

ini_entry* FindKey(const ini_document& document, std::string_view key) {
  ini_entry* e = document.current_group ? document.current_group->next : document.first;
  for (; e && e->kind != ini_entry_kind::group_header; e = e->next) {
    if (e->kind == ini_entry_kind::key && IniNamesEqual(View(e->name), key)) return e;
  }
  return nullptr;
}

char* CopyString(std::string_view s) {
  char* copy = new (std::nothrow) char[s.size() + 1];
  if (!copy) return nullptr;
  if (!s.empty()) std::memcpy(copy, s.data(), s.size());
  copy[s.size()] = '\0';
  return copy;
}

ini_entry* NewOwnedEntry(ini_entry_kind kind, std::string_view name, std::string_view body) {
  ini_entry* entry = new (std::nothrow) ini_entry{};
  char* name_copy = CopyString(name);
  char* body_copy = CopyString(body);
  if (!entry || !name_copy || !body_copy) {
    delete entry;
    delete[] name_copy;
    delete[] body_copy;
    return nullptr;
  }
  entry->kind = kind;
  entry->node_owned = entry->name_owned = entry->body_owned = true;
  entry->name = {name_copy, name.size()};
  entry->body = {body_copy, body.size()};
  return entry;
}

bool ReplaceValue(ini_entry& entry, std::string_view value) {
  if (value.size() <= entry.body.size) {
    if (!value.empty()) std::memcpy(entry.body.data, value.data(), value.size());
    entry.body.size = value.size();
    return true;
  }
  char* copy = CopyString(value);
  if (!copy) return false;
  if (entry.body_owned) delete[] entry.body.data;
  entry.body = {copy, value.size()};
  entry.body_owned = true;
  return true;
}

std::string DecimalText(int64_t value) {
  char digits[24];
  char* p = digits + sizeof digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) *--p = '-';
  return std::string(p, static_cast<size_t>(digits + sizeof digits - p));
}

char* Put(char* out, std::string_view s) {
  if (!s.empty()) std::memcpy(out, s.data(), s.size());
  return out + s.size();
}

}  // namespace

char* AllocateIniBuffer(size_t raw_size) {
  if (raw_size > (std::numeric_limits<size_t>::max() - 2) / 2) return nullptr;
  return new (std::nothrow) char[2 * raw_size + 2];
}

char* IniRawArea(char* buffer, size_t raw_size) { return buffer + raw_size + 2; }

bool ParseIniBuffer(ini_document& document, char* buffer, size_t raw_size) {
  FreeIniDocument(document);
  const char* raw = IniRawArea(buffer, raw_size);
  if (raw_size >= 3 && std::memcmp(raw, ByteOrderMark, 3) == 0) {
    document.text_size = raw_size - 3;
    std::memmove(buffer, raw + 3, document.text_size);
  } else {
    document.text_size = DecodeLatin1InPlace(buffer, raw_size);
  }
  // Every file is saved with the mark: one read with it, one decoded as
  // ISO 8859-1, and also one that was empty.
  document.with_bom = Utf8CodePage;
  buffer[document.text_size] = '\0';
  buffer[document.text_size + 1] = '\0';
  document.buffer = buffer;
  document.text = buffer;
  size_t most_entries = CountLineBreaks(document.text, document.text_size) + 1;
  document.parsed = new (std::nothrow) ini_entry[most_entries];
  if (!document.parsed) {
    FreeIniDocument(document);
    return false;
  }
  ParseEntries(document);
  return true;
}

bool ParseIniString(ini_document& document, std::string_view file_bytes) {
  char* buffer = AllocateIniBuffer(file_bytes.size());
  if (!buffer) return false;
  if (!file_bytes.empty()) std::memcpy(IniRawArea(buffer, file_bytes.size()), file_bytes.data(), file_bytes.size());
  return ParseIniBuffer(document, buffer, file_bytes.size());
}

void FreeIniDocument(ini_document& document) {
  for (ini_entry* e = document.first; e;) {
    ini_entry* next = e->next;
    if (e->name_owned) delete[] e->name.data;
    if (e->body_owned) delete[] e->body.data;
    if (e->node_owned) delete e;
    e = next;
  }
  delete[] document.parsed;
  delete[] document.buffer;
  delete[] document.missing_group;
  document = {};
}

bool IniNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

int IniSelectGroup(ini_document& document, std::string_view name) {
  delete[] document.missing_group;
  document.missing_group = nullptr;
  document.missing_group_size = 0;
  if (name.empty()) {
    document.current_group = nullptr;
    return 1;
  }
  for (ini_entry* e = document.first; e; e = e->next) {
    if (e->kind == ini_entry_kind::group_header && IniNamesEqual(View(e->name), name)) {
      document.current_group = e;
      return 1;
    }
  }
  document.missing_group = CopyString(name);
  document.missing_group_size = document.missing_group ? name.size() : 0;
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
  if (document.missing_group) return fallback;
  const ini_entry* entry = FindKey(document, key);
  return entry ? ParseIniInteger(View(entry->body)) : fallback;
}

bool IniWriteText(ini_document& document, std::string_view key, std::string_view value) {
  if (document.missing_group) {
    ini_entry* header = NewOwnedEntry(ini_entry_kind::group_header,
                                      {document.missing_group, document.missing_group_size}, {});
    if (!header) return false;
    Append(document, header);
    document.current_group = header;
    delete[] document.missing_group;
    document.missing_group = nullptr;
    document.missing_group_size = 0;
  }
  if (ini_entry* entry = FindKey(document, key)) {
    if (!ReplaceValue(*entry, value)) return false;
    std::memcpy(entry->name.data, key.data(), key.size());  // only ASCII case can differ
  } else {
    ini_entry* created = NewOwnedEntry(ini_entry_kind::key, key, value);
    if (!created) return false;
    InsertAfter(document, LastEntryOfCurrentGroup(document), created);
  }
  document.changed = true;
  return true;
}

bool IniWriteInt(ini_document& document, std::string_view key, int64_t value) {
  return IniWriteText(document, key, DecimalText(value));
}

size_t IniSavedSize(const ini_document& document, uint32_t flags) {
  size_t size = document.with_bom == Utf8CodePage ? 5 : 0;
  const size_t separator = (flags & CompactSeparator) ? 1 : 3;
  bool first_header = true;
  for (const ini_entry* e = document.first; e; e = e->next) {
    switch (e->kind) {
      case ini_entry_kind::group_header:
        size += e->name.size + 4;
        if ((flags & BlankLineBetweenGroups) && !first_header) size += 2;
        first_header = false;
        break;
      case ini_entry_kind::comment: size += e->body.size + 4; break;
      case ini_entry_kind::key: size += e->name.size + separator + e->body.size + 2; break;
    }
  }
  return size;
}

void BuildIniBytes(const ini_document& document, uint32_t flags, char* out) {
  if (document.with_bom == Utf8CodePage) out = Put(out, "\xEF\xBB\xBF\r\n");
  const std::string_view separator = (flags & CompactSeparator) ? "=" : " = ";
  bool first_header = true;
  for (const ini_entry* e = document.first; e; e = e->next) {
    switch (e->kind) {
      case ini_entry_kind::group_header:
        if ((flags & BlankLineBetweenGroups) && !first_header) out = Put(out, "\r\n");
        first_header = false;
        out = Put(Put(Put(out, "["), View(e->name)), "]\r\n");
        break;
      case ini_entry_kind::comment:
        out = Put(Put(Put(out, "; "), View(e->body)), "\r\n");
        break;
      case ini_entry_kind::key:
        out = Put(Put(Put(Put(out, View(e->name)), separator), View(e->body)), "\r\n");
        break;
    }
  }
}

std::string IniSaveString(const ini_document& document, uint32_t flags) {
  std::string bytes(IniSavedSize(document, flags), '\0');
  BuildIniBytes(document, flags, bytes.data());
  return bytes;
}
