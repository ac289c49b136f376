# Every test must run: every tst_*.cpp under tests/ must be a source of some
# target, and that target's program must be run by a CTest test. The
# manifest lists "source|program" for every executable made under tests/;
# check-tests-registered.sh compares it with the sources on disk and with
# CTest's commands. (Builds without the tools leave tests out on purpose:
# tests/CMakeLists.txt adds the check only to whole builds.)

function(plc_collect_test_programs dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(lines "")
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      get_target_property(sources ${t} SOURCES)
      get_target_property(source_dir ${t} SOURCE_DIR)
      foreach(s ${sources})
        get_filename_component(s "${s}" ABSOLUTE BASE_DIR "${source_dir}")
        list(APPEND lines "${s}|$<TARGET_FILE:${t}>")
      endforeach()
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    plc_collect_test_programs(${sub} sub_lines)
    list(APPEND lines ${sub_lines})
  endforeach()
  set(${out} ${lines} PARENT_SCOPE)
endfunction()

# plc_add_test_manifest_check(): the test "tests_registered", for the
# tests/ directory it is called from (after all its subdirectories).
function(plc_add_test_manifest_check)
  plc_collect_test_programs(${CMAKE_CURRENT_SOURCE_DIR} _plc_test_programs)
  string(REPLACE ";" "\n" _plc_test_programs "${_plc_test_programs}")
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/test-programs.txt CONTENT "${_plc_test_programs}\n")
  add_test(NAME tests_registered
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-tests-registered.sh ${CMAKE_CURRENT_SOURCE_DIR}
            ${CMAKE_CURRENT_BINARY_DIR}/test-programs.txt ${CMAKE_CTEST_COMMAND} ${CMAKE_BINARY_DIR})
  set_tests_properties(tests_registered PROPERTIES LABELS scripts TIMEOUT 60)
endfunction()
