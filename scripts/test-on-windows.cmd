@echo off
rem Runs the unit and end-to-end tests natively on Windows, from the test kit:
rem the folder holding this file, unit_tests.exe, end_to_end_tests.exe and the
rem programs they start (Corvalin.exe, standin_ide.exe, fault_probe.exe).
rem Exits with 1 when any test fails or a test program cannot run.
rem Arguments are handed to each test program, e.g. --gtest_brief=1 (failures
rem and summaries only) or --gtest_repeat=3.
rem A --gtest_filter among them replaces the one this file gives.
rem Tests that need the Linux side's small disks (T:, U:, V:) or its folder of
rem symbolic links (L:) skip themselves and say so: they tell those drives from
rem the machine's own by their size or a marker file.
setlocal
cd /d "%~dp0"
set "extra=%*"
set "failed="
set "runs=0"
set "others=-*Serial.*"
set "serial=*Serial.*"

rem The suites named Serial need the machine's window classes to themselves:
rem they run in an invocation of their own, after the others.
call :run unit_tests.exe "%others%"
call :run end_to_end_tests.exe "%others%"
call :run end_to_end_tests.exe "%serial%"

echo.
if defined failed goto failed
echo Windows test kit: all %runs% runs passed.
exit /b 0
:failed
echo Windows test kit: FAILED in%failed%
exit /b 1

rem Runs one test program with a filter; notes a failure by its exit code.
:run
set /a runs+=1
echo.
echo ==== %~1 --gtest_filter=%~2
"%~dp0%~1" "--gtest_filter=%~2" %extra%
if not "%errorlevel%"=="0" set "failed=%failed% %~1 (%~2, exit code %errorlevel%)"
exit /b 0
