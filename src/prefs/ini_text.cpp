#include "prefs/ini_text.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
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

char* SkipBlankLines(char* p, char* end) {
  while (p < end && IsBlankOrBreak(*p)) ++p;
  return p;
}

ini_cursor CursorAt(const ini_entry* node) {
  return {node, node && node->kind == ini_entry_kind::unparsed ? node->body.data : nullptr};
}

// The next line of the unparsed text [at, end) as an entry; false at its end.
bool NextLineOf(char*& at, char* end, ini_entry& entry) {
  char* p = SkipBlankLines(at, end);
  if (p == end) return false;
  at = FindLineEnd(p, end);
  ParseLine(p, at, end, entry);
  return true;
}

bool EndsSection(ini_entry_kind kind) {
  return kind == ini_entry_kind::group_header || kind == ini_entry_kind::unparsed;
}

// The last entry of the current group (or of the leading section); null when the
// leading section is empty, so an insertion there goes first.
ini_entry* LastEntryOfCurrentGroup(const ini_document& document) {
  ini_entry* last = document.current_group;
  ini_entry* e = document.current_group ? document.current_group->next : document.first;
  for (; e && !EndsSection(e->kind); e = e->next) last = e;
  return last;
}

ini_entry* FindKey(const ini_document& document, std::string_view key) {
  ini_entry* e = document.current_group ? document.current_group->next : document.first;
  for (; e && !EndsSection(e->kind); e = e->next) {
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

// Everything parsing and writes allocate hangs on one chain, so freeing a
// document never walks its entries.
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

ini_entry* NewUnparsed(ini_document& document, char* from, char* to) {
  char* block = AllocateWritten(document, sizeof(ini_entry));
  if (!block) return nullptr;
  ini_entry* run = new (block) ini_entry{};
  run->kind = ini_entry_kind::unparsed;
  run->body = {from, static_cast<size_t>(to - from)};
  return run;
}

struct section {
  ini_entry* first;
  ini_entry* last;
  char* end;  // where the next header line starts, or the end of the text searched
};

// Parses the lines from `p` into one block of entries: the header line `p` is
// on when `with_header`, then every line up to the next header. `end` null when
// memory for the block cannot be had.
section ParseSection(ini_document& document, char* p, char* end, bool with_header) {
  size_t count = with_header ? 1 : 0;
  char* q = with_header ? FindLineEnd(p, end) : p;
  for (;;) {
    q = SkipBlankLines(q, end);
    if (q == end || *q == '[') break;
    q = FindLineEnd(q, end);
    ++count;
  }
  section parsed{nullptr, nullptr, q};
  if (count == 0) return parsed;
  char* block = AllocateWritten(document, count * sizeof(ini_entry));
  if (!block) return {nullptr, nullptr, nullptr};
  ini_entry* entries = reinterpret_cast<ini_entry*>(block);
  for (size_t i = 0; i < count; ++i) {
    p = SkipBlankLines(p, q);
    char* line_end = FindLineEnd(p, q);
    ParseLine(p, line_end, end, entries[i]);
    entries[i].next = i + 1 < count ? &entries[i + 1] : nullptr;
    p = line_end;
  }
  parsed.first = entries;
  parsed.last = &entries[count - 1];
  return parsed;
}

// The start of the first header line of `run` whose name matches, or null.
char* FindHeaderLine(const ini_entry& run, std::string_view name) {
  char* p = run.body.data;
  char* const end = p + run.body.size;
  for (;;) {
    p = SkipBlankLines(p, end);
    if (p == end) return nullptr;
    char* line_end = FindLineEnd(p, end);
    if (*p == '[') {  // only header lines are parsed: the search runs over whole files
      ini_entry header;
      ParseLine(p, line_end, end, header);
      if (IniNamesEqual(View(header.name), name)) return p;
    }
    p = line_end;
  }
}

// Parses the group whose header line starts at `header` inside `run` (the entry
// after `before`), keeping the text before and after it unparsed. Returns the
// group's header entry, or null when memory cannot be had.
ini_entry* ParseGroupInRun(ini_document& document, ini_entry* before, ini_entry* run, char* header) {
  char* const run_end = run->body.data + run->body.size;
  section group = ParseSection(document, header, run_end, true);
  if (!group.end) return nullptr;
  ini_entry* after = nullptr;
  if (SkipBlankLines(group.end, run_end) < run_end) {
    after = NewUnparsed(document, group.end, run_end);
    if (!after) return nullptr;
    after->next = run->next;
  }
  group.last->next = after ? after : run->next;
  if (document.last == run) document.last = after ? after : group.last;
  if (SkipBlankLines(run->body.data, header) < header) {
    run->body.size = static_cast<size_t>(header - run->body.data);
    run->next = group.first;
  } else if (before) {
    before->next = group.first;
  } else {
    document.first = group.first;
  }
  return group.first;
}

// Parses the leading section (the lines before the first header) into entries
// and leaves the rest of the text unparsed, for a group search to read.
bool ParseLeadingSection(ini_document& document) {
  char* const end = document.text + document.text_size;
  section leading = ParseSection(document, document.text, end, false);
  if (!leading.end) return false;
  document.first = leading.first;
  document.last = leading.last;
  if (leading.end == end) return true;
  ini_entry* rest = NewUnparsed(document, leading.end, end);
  if (!rest) return false;
  if (document.last) document.last->next = rest; else document.first = rest;
  document.last = rest;
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
  if (!ParseLeadingSection(document)) {
    FreeIniDocument(document);
    return false;
  }
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
  for (ini_entry *e = document.first, *before = nullptr; e; before = e, e = e->next) {
    ini_entry* found = nullptr;
    if (e->kind == ini_entry_kind::group_header && IniNamesEqual(View(e->name), name)) {
      found = e;
    } else if (e->kind == ini_entry_kind::unparsed) {
      char* header = FindHeaderLine(*e, name);
      if (!header) continue;
      found = ParseGroupInRun(document, before, e, header);
      if (!found) {  // out of memory: no group to read, and no write may create a second one
        document.current_group = nullptr;
        document.writes_refused = true;
        return 0;
      }
    }
    if (found) {
      document.current_group = found;
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
  if (document.writes_refused) return false;
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

ini_cursor IniFirstEntry(const ini_document& document) { return CursorAt(document.first); }

bool IniNextEntry(ini_cursor& cursor, ini_entry& entry) {
  while (const ini_entry* node = cursor.node) {
    if (node->kind != ini_entry_kind::unparsed) {
      entry = *node;
      cursor = CursorAt(node->next);
      return true;
    }
    if (NextLineOf(cursor.at, node->body.data + node->body.size, entry)) return true;
    cursor = CursorAt(node->next);
  }
  return false;
}

namespace {

constexpr size_t NotVerbatim = static_cast<size_t>(-1);

// Whether the line [p, line_end) is already in the form a save writes it in.
bool IsSavedForm(char* p, char* line_end, const char* text_end, uint32_t flags) {
  if (*p == ';') return line_end - p >= 2 && p[1] == ' ';
  if (*p == '[') {
    const char* close = FindInLine(p + 1, line_end, text_end, ']');
    return close && close + 1 == line_end;
  }
  const char* equals = FindInLine(p, line_end, text_end, '=');
  if (!equals) return false;  // a save adds the separator
  const char* after = equals + 1;
  if (flags & CompactSeparator) {
    return (equals == p || !IsBlank(equals[-1])) && (after == line_end || !IsBlank(*after));
  }
  return equals - p >= 2 && equals[-1] == ' ' && !IsBlank(equals[-2]) && after < line_end && *after == ' ' &&
         (after + 1 == line_end || !IsBlank(after[1]));
}

// How many bytes from the start of `run` a save would write unchanged: all of
// its lines, when each is already in saved form and ends in CR LF, and the
// blank lines between groups are just those the flags ask for. NotVerbatim
// otherwise. `first_header` is the save's state before the run and after it.
size_t VerbatimLength(const ini_entry& run, uint32_t flags, bool& first_header) {
  char* const start = run.body.data;
  char* const end = start + run.body.size;
  const bool blank_lines = flags & BlankLineBetweenGroups;
  bool first = first_header;
  char* source = start;
  while (source < end) {
    // At the start of the run the blank line is written apart from the run's bytes.
    bool blank = blank_lines && !first && source != start && end - source > 2 && source[0] == '\r' &&
                 source[1] == '\n' && source[2] == '[';
    char* p = blank ? source + 2 : source;
    if (IsBlankOrBreak(*p)) {
      if (SkipBlankLines(p, end) == end) break;  // blank lines after the last line are not written
      return NotVerbatim;
    }
    bool header = *p == '[';
    if (header && blank_lines && !first && !blank && p != start) return NotVerbatim;
    char* line_end = FindLineEnd(p, end);
    if (!IsSavedForm(p, line_end, end, flags) || end - line_end < 2 || line_end[0] != '\r' || line_end[1] != '\n') {
      return NotVerbatim;
    }
    if (header) first = false;
    source = line_end + 2;
  }
  first_header = first;
  return static_cast<size_t>(source - start);
}

size_t EntrySize(const ini_entry& e, uint32_t flags, bool& first_header) {
  switch (e.kind) {
    case ini_entry_kind::group_header: {
      size_t blank = (flags & BlankLineBetweenGroups) && !first_header ? 2 : 0;
      first_header = false;
      return blank + e.name.size + 4;
    }
    case ini_entry_kind::comment: return e.body.size + 4;
    case ini_entry_kind::key: return e.name.size + ((flags & CompactSeparator) ? 1 : 3) + e.body.size + 2;
    case ini_entry_kind::unparsed: break;
  }
  return 0;
}

char* PutEntry(char* out, const ini_entry& e, uint32_t flags, bool& first_header) {
  switch (e.kind) {
    case ini_entry_kind::group_header:
      if ((flags & BlankLineBetweenGroups) && !first_header) out = Put(out, "\r\n");
      first_header = false;
      return Put(Put(Put(out, "["), View(e.name)), "]\r\n");
    case ini_entry_kind::comment:
      return Put(Put(Put(out, "; "), View(e.body)), "\r\n");
    case ini_entry_kind::key:
      return Put(Put(Put(Put(out, View(e.name)), (flags & CompactSeparator) ? "=" : " = "), View(e.body)), "\r\n");
    case ini_entry_kind::unparsed: break;
  }
  return out;
}

// Whether a run's saved form starts with the blank line of its first header.
bool StartsWithBlankLine(const ini_entry& run, uint32_t flags, bool first_header) {
  return (flags & BlankLineBetweenGroups) && !first_header && run.body.size > 0 && run.body.data[0] == '[';
}

size_t NodeCount(const ini_document& document, ini_entry_kind kind) {
  size_t count = 0;
  for (const ini_entry* e = document.first; e; e = e->next) count += e->kind == kind;
  return count;
}

// Calls `use` with the node itself, or with each line of an unparsed node.
template <typename F>
void ForEachEntryOf(const ini_entry& node, F use) {
  if (node.kind != ini_entry_kind::unparsed) {
    use(node);
    return;
  }
  char* const end = node.body.data + node.body.size;
  ini_entry e;
  for (char* at = node.body.data; NextLineOf(at, end, e);) use(e);
}

struct verbatim_run {
  size_t length;      // NotVerbatim: the run is written line by line
  bool first_header;  // the save's state after the run
};

// The save's size; with `runs`, which unparsed runs (in order) can be copied
// as they are, and how much of each.
size_t MeasureSave(const ini_document& document, uint32_t flags, verbatim_run* runs) {
  size_t size = document.with_bom == Utf8CodePage ? 5 : 0;
  bool first_header = true;
  for (const ini_entry* node = document.first; node; node = node->next) {
    if (node->kind == ini_entry_kind::unparsed && runs) {
      bool blank = StartsWithBlankLine(*node, flags, first_header);
      verbatim_run& run = *runs++;
      run.first_header = first_header;
      run.length = VerbatimLength(*node, flags, run.first_header);
      if (run.length != NotVerbatim) {
        size += (blank ? 2 : 0) + run.length;
        first_header = run.first_header;
        continue;
      }
    }
    ForEachEntryOf(*node, [&](const ini_entry& e) { size += EntrySize(e, flags, first_header); });
  }
  return size;
}

void BuildSave(const ini_document& document, uint32_t flags, const verbatim_run* runs, char* out) {
  if (document.with_bom == Utf8CodePage) out = Put(out, "\xEF\xBB\xBF\r\n");
  bool first_header = true;
  for (const ini_entry* node = document.first; node; node = node->next) {
    if (node->kind == ini_entry_kind::unparsed && runs) {
      const verbatim_run& run = *runs++;
      if (run.length != NotVerbatim) {
        if (StartsWithBlankLine(*node, flags, first_header)) out = Put(out, "\r\n");
        if (run.length) std::memcpy(out, node->body.data, run.length);
        out += run.length;
        first_header = run.first_header;
        continue;
      }
    }
    ForEachEntryOf(*node, [&](const ini_entry& e) { out = PutEntry(out, e, flags, first_header); });
  }
}

}  // namespace

size_t IniSavedSize(const ini_document& document, uint32_t flags) { return MeasureSave(document, flags, nullptr); }

char* IniSavedBytes(const ini_document& document, uint32_t flags, size_t& size) {
  size_t count = NodeCount(document, ini_entry_kind::unparsed);
  std::unique_ptr<verbatim_run[]> runs(new (std::nothrow) verbatim_run[count ? count : 1]);
  size = MeasureSave(document, flags, runs.get());  // without the table: line by line
  char* bytes = new (std::nothrow) char[size ? size : 1];
  if (bytes) BuildSave(document, flags, runs.get(), bytes);
  return bytes;
}

std::string IniSaveString(const ini_document& document, uint32_t flags) {
  size_t size = 0;
  std::unique_ptr<char[]> bytes(IniSavedBytes(document, flags, size));
  return bytes ? std::string(bytes.get(), size) : std::string();
}
