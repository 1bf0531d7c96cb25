// An owned handle that closes itself when it goes out of scope: one template
// over the handle's type, its close function and the value that means none.
#pragma once

#include <windows.h>

#include <cstdint>

template <typename T, auto Close, intptr_t None = 0>
struct unique_any {
  T value = reinterpret_cast<T>(None);

  unique_any() = default;
  explicit unique_any(T owned) : value(owned) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  T get() const { return value; }
  explicit operator bool() const { return reinterpret_cast<intptr_t>(value) != None; }
  T release() {
    T owned = value;
    value = reinterpret_cast<T>(None);
    return owned;
  }
  void reset(T owned = reinterpret_cast<T>(None)) {
    if (*this) Close(value);
    value = owned;
  }
};

// Events, threads and processes: null when there is none.
using unique_handle = unique_any<HANDLE, &CloseHandle>;
// Files and snapshots: INVALID_HANDLE_VALUE when there is none.
using unique_file = unique_any<HANDLE, &CloseHandle, -1>;
using unique_find = unique_any<HANDLE, &FindClose, -1>;

inline void ReleaseAndCloseMutex(HANDLE mutex) {
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}
// A mutex this thread owns: given up, then closed.
using owned_mutex = unique_any<HANDLE, &ReleaseAndCloseMutex>;

// A turn among processes: the named mutex `name`, waited for at most
// `timeout_ms`. A holder that ended inside its turn leaves the mutex abandoned,
// which hands the turn on all the same. None when the turn does not come in
// time or cannot be had at all (the name taken by an object of another kind).
inline owned_mutex TakeTurn(const wchar_t* name, DWORD timeout_ms) {
  unique_handle mutex{CreateMutexW(nullptr, FALSE, name)};
  if (!mutex) return {};
  const DWORD result = WaitForSingleObject(mutex.get(), timeout_ms);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return {};
  return owned_mutex{mutex.release()};
}
