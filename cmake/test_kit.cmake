# The Windows test kit: the test programs, the programs they start and the batch
# file that runs them, in one folder (build/windows-test-kit/) to copy to a
# Windows machine, and packed as build/windows-test-kit.zip.
set(test_kit ${CMAKE_BINARY_DIR}/windows-test-kit)
set(test_kit_script ${CMAKE_SOURCE_DIR}/scripts/test-on-windows.cmd)
set(test_kit_programs unit_tests end_to_end_tests Corvalin standin_ide fault_probe)
set(test_kit_files ${test_kit_script})
foreach(program ${test_kit_programs})
  list(APPEND test_kit_files $<TARGET_FILE:${program}>)
endforeach()
add_custom_command(OUTPUT ${test_kit}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${test_kit} ${test_kit}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${test_kit}
  COMMAND ${CMAKE_COMMAND} -E copy ${test_kit_files} ${test_kit}/
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR} ${CMAKE_COMMAND} -E tar cf windows-test-kit.zip --format=zip
          windows-test-kit
  DEPENDS ${test_kit_programs} ${test_kit_script}
  COMMENT "Packing the Windows test kit"
  VERBATIM)
add_custom_target(windows-test-kit DEPENDS ${test_kit}.zip)
