// The tool's one modal message box.
#pragma once

#include <cstdint>
#include <string>

// Owned by the foreground window only when that window is the tool's own.
int ShowMessage(const std::wstring& caption, const std::wstring& text, uint32_t flags);
