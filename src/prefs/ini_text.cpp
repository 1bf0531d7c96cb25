#include "prefs/ini_text.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
__m128i Load16(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

unsigned ByteMask(__m128i chunk, char wanted) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(wanted))));
}

// Bit i set where p[i] is a carriage return or a line feed.
unsigned LineBreakMask(const char* p) {
  const __m128i chunk = Load16(p);
  return ByteMask(chunk, '\r') | ByteMask(chunk, '\n');
}
#endif

// The most entries a text can give: one per stretch of bytes between line
// breaks. Lines are short and files can be large: sixteen bytes at a time.
size_t CountLineStarts(const char* text, size_t size) {
  size_t count = 0, i = 0;
  unsigned after_break = 1;  // the text starts as if after a break
#if defined(__SSE2__)
  for (; i + 16 <= size; i += 16) {
    unsigned breaks = LineBreakMask(text + i);
    unsigned starts = ~breaks & ((breaks << 1) | after_break) & 0xFFFF;
    for (; starts; starts &= starts - 1) ++count;  // few per chunk; no popcount instruction assumed
    after_break = breaks >> 15;
  }
#endif
  for (; i < size; ++i) {
    unsigned is_break = IsLineBreak(text[i]);
    count += (is_break ^ 1) & after_break;
    after_break = is_break;
  }
  return count;
}

char* FindLineEnd(char* p, char* end) {
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    if (unsigned mask = LineBreakMask(p)) return p + __builtin_ctz(mask);
  }
#endif
  while (p < end && !IsLineBreak(*p)) ++p;
  return p;
}

// The first `wanted` byte of the line [p, line_end), or null. Sixteen bytes are
// read at a time while the text goes on that far; bits past the line are dropped.
char* FindInLine(char* p, char* line_end, const char* text_end, char wanted) {
#if defined(__SSE2__)
  while (p < line_end && text_end - p >= 16) {
    unsigned mask = ByteMask(Load16(p), wanted);
    size_t left = static_cast<size_t>(line_end - p);
    if (left < 16) mask &= (1u << left) - 1;
    if (mask) return p + __builtin_ctz(mask);
    if (left <= 16) return nullptr;
    p += 16;
  }
#else
  (void)text_end;
#endif
  while (p < line_end && *p != wanted) ++p;
  return p < line_end ? p : nullptr;
}

bool IsBlankOrBreak(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (IsBlank(c) || IsLineBreak(c));
}

void Append(ini_document& document, ini_entry* entry) {
  entry->next = nullptr;
  if (document.last) document.last->next = entry; else document.first = entry;
  document.last = entry;
}

void InsertAfter(ini_document& document, ini_entry* anchor, ini_entry* entry) {
  if (!anchor) {
    entry->next = document.first;
    if (!document.first) document.last = entry;
    document.first = entry;
    return;
  }
  entry->next = anchor->next;
  if (!anchor->next) document.last = entry;
  anchor->next = entry;
}

// Parses one line, from `p` (past its leading blanks) to `line_end`, into `entry`.
void ParseLine(char* p, char* line_end, const char* text_end, ini_entry& entry) {
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
    char* close = FindInLine(p, line_end, text_end, ']');
    entry.kind = ini_entry_kind::group_header;
    entry.name = {p, static_cast<size_t>((close ? close : line_end) - p)};
    entry.body = {line_end, 0};
    return;
  }
  char* equals = FindInLine(p, line_end, text_end, '=');
  char* name_end = equals ? equals : line_end;
  while (name_end > p && IsBlank(name_end[-1])) --name_end;
  entry.kind = ini_entry_kind::key;
  entry.name = {p, static_cast<size_t>(name_end - p)};
  char* value = equals ? equals + 1 : line_end;
  while (value < line_end && IsBlank(*value)) ++value;
  entry.body = {value, static_cast<size_t>(line_end - value)};
}

// Parsed entries lie in text order in one block, so each one's successor is
// the next in the block.
void ParseEntries(ini_document& document) {
  char* p = document.text;
  char* const end = document.text + document.text_size;
  ini_entry* entry = document.parsed;
  for (;;) {
    while (p < end && IsBlankOrBreak(*p)) ++p;  // blank lines are dropped
    if (p == end) break;
    char* line_end = FindLineEnd(p, end);
    ParseLine(p, line_end, end, *entry);
    p = line_end;
    entry->next = entry + 1;
    ++entry;
  }
  if (entry == document.parsed) return;
  entry[-1].next = nullptr;
  document.first = document.parsed;
  document.last = entry - 1;
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

// Everything a write allocates hangs on one chain, so freeing a document never
// walks its entries.
constexpr size_t StorageHeader = alignof(std::max_align_t);

char* AllocateWritten(ini_document& document, size_t size) {
  char* block = new (std::nothrow) char[StorageHeader + size];
  if (!block) return nullptr;
  std::memcpy(block, &document.written, sizeof(char*));
  document.written = block;
  return block + StorageHeader;
}

void FreeWritten(char* block) {
  while (block) {
    char* next;
    std::memcpy(&next, block, sizeof(char*));
    delete[] block;
    block = next;
  }
}

// Names and values are a few bytes long: a call to the C library's memcpy for
// each would cost more than the copy.
char* Put(char* out, std::string_view s) {
  if (s.size() > 32) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
  }
  const char* in = s.data();
  size_t left = s.size();
  for (; left >= 8; left -= 8, in += 8, out += 8) std::memcpy(out, in, 8);  // one move each
  for (; left; --left) *out++ = *in++;  // the build keeps this loop a loop
  return out;
}

// Literals go by their known length, without a call to measure them.
template <size_t N>
char* Put(char* out, const char (&literal)[N]) {
  std::memcpy(out, literal, N - 1);
  return out + N - 1;
}

// One allocation for the entry and copies of its name and body.
ini_entry* NewWrittenEntry(ini_document& document, ini_entry_kind kind, std::string_view name,
                           std::string_view body) {
  char* block = AllocateWritten(document, sizeof(ini_entry) + name.size() + body.size());
  if (!block) return nullptr;
  ini_entry* entry = new (block) ini_entry{};
  char* name_copy = block + sizeof(ini_entry);
  char* body_copy = Put(name_copy, name);
  Put(body_copy, body);
  entry->kind = kind;
  entry->name = {name_copy, name.size()};
  entry->body = {body_copy, body.size()};
  return entry;
}

bool ReplaceValue(ini_document& document, ini_entry& entry, std::string_view value) {
  if (value.size() <= entry.body.size) {
    if (!value.empty()) std::memcpy(entry.body.data, value.data(), value.size());
    entry.body.size = value.size();
    return true;
  }
  char* copy = AllocateWritten(document, value.size());
  if (!copy) return false;
  Put(copy, value);
  entry.body = {copy, value.size()};
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


}  // namespace

char* AllocateIniBuffer(size_t raw_size) {
  if (raw_size > (std::numeric_limits<size_t>::max() - 2) / 2) return nullptr;
  return new (std::nothrow) char[2 * raw_size + 2];
}

char* IniRawArea(char* buffer, size_t raw_size) { return buffer + raw_size + 2; }

bool ParseIniBuffer(ini_document& document, char* buffer, size_t raw_size) {
  FreeIniDocument(document);
  char* raw = IniRawArea(buffer, raw_size);
  if (raw_size >= 3 && std::memcmp(raw, ByteOrderMark, 3) == 0) {
    document.text = raw + 3;  // already UTF-8: parsed where it was read
    document.text_size = raw_size - 3;
  } else {
    document.text = buffer;
    document.text_size = DecodeLatin1InPlace(buffer, raw_size);
  }
  // Every file is saved with the mark: one read with it, one decoded as
  // ISO 8859-1, and also one that was empty.
  document.with_bom = Utf8CodePage;
  document.buffer = buffer;
  size_t most_entries = CountLineStarts(document.text, document.text_size);
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
  FreeWritten(document.written);
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
    ini_entry* header = NewWrittenEntry(document, ini_entry_kind::group_header,
                                      {document.missing_group, document.missing_group_size}, {});
    if (!header) return false;
    Append(document, header);
    document.current_group = header;
    delete[] document.missing_group;
    document.missing_group = nullptr;
    document.missing_group_size = 0;
  }
  if (ini_entry* entry = FindKey(document, key)) {
    if (!ReplaceValue(document, *entry, value)) return false;
    std::memcpy(entry->name.data, key.data(), key.size());  // only ASCII case can differ
  } else {
    ini_entry* created = NewWrittenEntry(document, ini_entry_kind::key, key, value);
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
