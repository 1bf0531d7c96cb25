#include "message.h"

#include <windows.h>

int ShowMessage(const std::wstring& caption, const std::wstring& text, uint32_t flags) {
  HWND owner = GetForegroundWindow();
  DWORD owner_process = 0;
  if (owner) GetWindowThreadProcessId(owner, &owner_process);
  if (owner_process != GetCurrentProcessId()) owner = nullptr;
  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}
