// Coverage builds write their counters before the process ends through
// ExitProcess or TerminateProcess, which skip the C runtime's exit handlers.
#pragma once

#if defined(CORVALIN_COVERAGE)
extern "C" void __gcov_dump(void);
inline void FlushCoverage() { __gcov_dump(); }
#else
inline void FlushCoverage() {}
#endif
