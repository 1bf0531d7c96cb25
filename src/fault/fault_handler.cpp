#include "fault/fault_handler.h"

#include "coverage.h"
#include "fault/error_log.h"
#include "fault/os_names.h"
#include "message.h"
#include "version.h"

// The C++ runtime's personality routine. A frame that names it only runs C++
// cleanups and never takes a processor fault. Weak, so that a program without
// C++ exception frames does not link the runtime's unwinder for it.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name
extern "C" EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT, PDISPATCHER_CONTEXT)
    __attribute__((weak));

fault_record FaultRecord{};
const wchar_t SupportAddress[] = L"support@corvalin.example";

namespace {

struct fault_handler_state {
  report_procedure report;
  void* registration;
  DWORD64 entry_function_begin;  // start of the entry function's unwind entry
  volatile LONG reporting;
};

fault_handler_state Handler{};

constexpr int MostFrames = 1024;

struct fault_message {
  uint32_t code;
  const wchar_t* text;
};

// The report's texts, here and in ComposeFatalReport, are kept exactly, odd
// spellings and spaces included ("to great", the space after "Division by zero",
// two after "Ziel-Speicheradresse:"): logs and users match them.
constexpr fault_message FaultMessageTable[] = {
    {0xC0000005, L"Invalid memory access"},
    {0xC000008C, L"Array bounds exceeded"},
    {0x80000003, L"Debugger breakpoint reached"},
    {0x80000002, L"Misaligned data access"},
    {0xC000008D, L"Denormal floating-point operand"},
    {0xC000008E, L"Division by zero (floating-point)"},
    {0xC000008F, L"Inexact floating-point result"},
    {0xC0000090, L"Invalid floating-point operation"},
    {0xC0000091, L"Floating-point overflow (exponent to great)"},
    {0xC0000092, L"Floating-point stack overflow or underflow"},
    {0xC0000093, L"Floating-point underflow (exponent too small)"},
    {0xC000001D, L"Illegal instruction"},
    {0xC0000006, L"Memory page error"},
    {0xC0000094, L"Division by zero "},
    {0xC0000095, L"Integer overflow"},
    {0xC0000026, L"Exception handler returned unknown value"},
    {0xC0000025, L"Exception handler tried to continue after non-continuable exception"},
    {0xC0000096, L"Privileged instruction"},
    {0x80000004, L"Single step trap"},
    {0xC00000FD, L"Stack overflow"},
};

DWORD64 FunctionBegin(const void* code) {
  DWORD64 image_base = 0;
  PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(code), &image_base, nullptr);
  return function ? image_base + function->BeginAddress : 0;
}

bool IsRealHandler(PEXCEPTION_ROUTINE handler) {
  return handler && reinterpret_cast<void*>(handler) != reinterpret_cast<void*>(&__gxx_personality_seh0);
}

// Walks the faulting thread's frames on a copy of its context: true when one of
// them, up to and including the entry function, has a handler of its own.
bool SomeFrameHandles(const CONTEXT& faulting) {
  CONTEXT context = faulting;
  DWORD64 image_base = 0;
  PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
  if (!function) {  // a leaf: its return address is on top of the stack
    context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
    context.Rsp += 8;
    function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
  }
  for (int frame = 0; function && frame < MostFrames; ++frame) {
    const DWORD64 stack = context.Rsp;
    const bool is_entry = image_base + function->BeginAddress == Handler.entry_function_begin;
    void* handler_data = nullptr;
    DWORD64 establisher = 0;
    PEXCEPTION_ROUTINE handler = RtlVirtualUnwind(UNW_FLAG_EHANDLER, image_base, context.Rip, function, &context,
                                                  &handler_data, &establisher, nullptr);
    if (IsRealHandler(handler)) return true;
    // The stack pointer, not the return address, shows progress: every level of
    // a recursion returns to the same address.
    if (is_entry || context.Rip == 0 || context.Rsp <= stack) return false;
    function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
  }
  return false;
}

void RecordFault(const EXCEPTION_RECORD& exception) {
  FaultRecord.code = exception.ExceptionCode;
  FaultRecord.address = reinterpret_cast<intptr_t>(exception.ExceptionAddress);
  FaultRecord.target_address = 0;
  if (exception.ExceptionCode == AccessViolation && exception.NumberParameters >= 2) {
    FaultRecord.target_address = static_cast<int64_t>(exception.ExceptionInformation[1]);
  }
}

LONG CALLBACK HandleFault(EXCEPTION_POINTERS* info) {
  if (SomeFrameHandles(*info->ContextRecord)) return EXCEPTION_CONTINUE_SEARCH;
  // A fault while the report is composed, logged or shown: end at once.
  if (InterlockedExchange(&Handler.reporting, 1) != 0) TerminateProcess(GetCurrentProcess(), 0);
  RecordFault(*info->ExceptionRecord);
  if (Handler.report) Handler.report();
  FlushCoverage();
  TerminateProcess(GetCurrentProcess(), 0);
  return EXCEPTION_CONTINUE_SEARCH;
}

std::wstring Line(const std::wstring& text) { return text + L'\r'; }

}  // namespace

void InstallFaultHandler(report_procedure report, const void* entry_function) {
  Handler.report = report;
  Handler.entry_function_begin = FunctionBegin(entry_function);
  if (Handler.registration) RemoveVectoredExceptionHandler(Handler.registration);
  Handler.registration = AddVectoredExceptionHandler(0, HandleFault);
}

void RemoveFaultHandler() {
  if (!Handler.registration) return;
  RemoveVectoredExceptionHandler(Handler.registration);
  Handler.registration = nullptr;
}

bool ReportingFault() { return Handler.reporting != 0; }

std::wstring FaultMessageFor(uint32_t code) {
  for (const fault_message& row : FaultMessageTable) {
    if (row.code == code) return row.text;
  }
  return L"Unknown error code";
}

std::wstring ComposeFatalReport(const fault_record& fault, const SYSTEMTIME& now, const std::wstring& os_name) {
  std::wstring report =
      Line(L"Es ist ein schwerwiegender Fehler aufgetreten und das Programm muss beendet werden.") +
      Line(std::wstring(L"Senden Sie bitte die folgenden Informationen an ") + SupportAddress + L":") + Line(L"") +
      Line(L"Datum/Uhrzeit: " + FormatDateTime(now)) + Line(L"Betriebssystem: " + os_name) +
      Line(L"Anwendung: Corvalin " CORVALIN_VERSION_LABEL) + Line(L"Fehlermeldung: " + FaultMessageFor(fault.code)) +
      Line(L"Speicheradresse: " + std::to_wstring(fault.address));
  if (fault.code == AccessViolation) report += Line(L"Ziel-Speicheradresse:  " + std::to_wstring(fault.target_address));
  return report;
}

void ReportFatalError() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const std::wstring report = ComposeFatalReport(FaultRecord, now, LookupOsName(OsVersionCode()));
  WriteLogEntry(L"Error", report);
  ShowMessage(L"Fehler", report, MB_OK | MB_ICONERROR);
}
