// The last-resort fault handler: a processor fault that no frame of the tool
// handles itself ends in a German error report, logged and shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct fault_record {
  uint32_t code;
  int64_t address;         // of the faulting instruction
  int64_t target_address;  // the inaccessible address of an access violation, else 0
};

extern fault_record FaultRecord;

using report_procedure = void (*)();

constexpr uint32_t AccessViolation = 0xC0000005;
extern const wchar_t SupportAddress[];

// Registers the handler last in the vectored chain. The walk over the faulting
// thread's frames stops at `entry_function`: the start-up code below it only
// holds last-resort handlers, which this one replaces.
void InstallFaultHandler(report_procedure report, const void* entry_function);
void RemoveFaultHandler();
// Whether a fault is being reported: its box is up until the user closes it.
bool ReportingFault();

std::wstring FaultMessageFor(uint32_t code);
// The report's lines, each ended by a single carriage return.
std::wstring ComposeFatalReport(const fault_record& fault, const SYSTEMTIME& now, const std::wstring& os_name);
// Composes the report for FaultRecord, logs it under "Error" and shows it.
void ReportFatalError();
