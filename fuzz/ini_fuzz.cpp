// Drives the preference text model with arbitrary file bytes and a sequence of
// operations taken from the input, then checks that a save reads back to the
// same entries and that saving those again gives the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "prefs/ini_text.h"

namespace {

// Names a caller can write: no line breaks, brackets, equals signs or edge
// blanks, which a save would turn into other lines.
std::string NameFrom(const uint8_t*& p, const uint8_t* end) {
  static const char alphabet[] = "abcMENUhandle0123456789_#.- ";
  std::string name;
  size_t length = p < end ? *p++ % 12 : 0;
  for (size_t i = 0; i < length && p < end; ++i) name += alphabet[*p++ % (sizeof alphabet - 1)];
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  return name;
}

bool SameEntries(const ini_document& a, const ini_document& b) {
  const ini_entry *e = a.first.get(), *f = b.first.get();
  for (; e && f; e = e->next.get(), f = f->next.get()) {
    if (e->kind != f->kind || View(e->name) != View(f->name) || View(e->body) != View(f->body)) return false;
  }
  return !e && !f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte splits the input into file bytes and operations.
  if (size == 0) return 0;
  size_t file_size = size > 1 ? data[0] * (size - 1) / 255 : 0;
  const uint8_t* ops = data + 1 + file_size;
  const uint8_t* end = data + size;
  ini_document document{};
  if (!ParseIniString(document, std::string_view(reinterpret_cast<const char*>(data + 1), file_size))) abort();
  const uint32_t flags = size % 4;
  while (ops < end) {
    uint8_t op = *ops++;
    std::string name = NameFrom(ops, end);
    int64_t value = ops < end ? static_cast<int8_t>(*ops++) * 1000003LL : 0;
    switch (op % 3) {
      case 0: IniSelectGroup(document, name); break;
      case 1: IniReadInt(document, name, value); break;
      case 2: IniWriteInt(document, name, value); break;
    }
  }
  const std::string saved = IniSaveString(document, flags);
  // The save's buffer has exactly the counted size: AddressSanitizer stops a
  // write past its end, and a shorter write leaves bytes that differ here.
  size_t saved_size = 0;
  const std::unique_ptr<char[]> bytes = IniSavedBytes(document, flags, saved_size);
  if (!bytes || std::string_view(bytes.get(), saved_size) != saved) abort();
  ini_document again{};
  if (!ParseIniString(again, saved)) abort();
  if (!SameEntries(document, again)) abort();
  if (IniSaveString(again, flags) != saved) abort();
  return 0;
}
