# Shared build conventions: warning flags for our own code, sanitizers, and helpers
# that register GoogleTest programs with CTest under the labels "unit",
# "integration" and "threaded", and libFuzzer programs.

set(MGMT_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2)
if(MGMT_WERROR)
  list(APPEND MGMT_WARNINGS -Werror)
endif()

# MGMT_SANITIZE: ON (address and undefined behaviour) or "thread".
if(MGMT_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(MGMT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
# GCC's uninitialized-use analysis is not reliable on sanitizer-instrumented code:
# g++ 12 reports std::regex's own internals there, which the plain build, where the
# warning stays on, does not.
if(MGMT_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND MGMT_WARNINGS -Wno-maybe-uninitialized)
endif()

# MGMT_FUZZ (clang only): everything is built with libFuzzer's coverage
# instrumentation and the address and undefined-behaviour sanitizers, and the
# fuzz programs of mgmt_add_fuzzer are defined.
if(MGMT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MGMT_FUZZ needs clang: CC=clang CXX=clang++ cmake ... -DMGMT_FUZZ=ON")
  endif()
  # clang 14 declares sized deallocation (used by the broker's Array) only on request.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fsized-deallocation)
  add_link_options(-fsanitize=address,undefined)
endif()

# mgmt_target_defaults(<target>): our warning set on a target we own.
function(mgmt_target_defaults target)
  target_compile_options(${target} PRIVATE ${MGMT_WARNINGS})
endfunction()

# mgmt_add_gtest(<name> LABEL unit|integration SOURCES ... LIBS ... [TIMEOUT s]
#                [WHOLE] [THREADED])
# One GoogleTest program. Each of its tests is registered with CTest on its own,
# or, with WHOLE, the program is one CTest test (for integration suites whose
# fixtures start expensive peers once per program). Tests run with the build's
# source and binary directories in the environment so they can find fixtures and
# helper programs without hard-coded paths. THREADED marks a program whose tests
# start threads (also inside the code under test, such as an in-process server):
# it gets the label "threaded" too, and CI runs it under ThreadSanitizer (the
# target mgmt_threaded_tests builds every such program, as mgmt_unit_tests builds
# every program labelled unit).
function(mgmt_add_gtest name)
  cmake_parse_arguments(T "WHOLE;THREADED" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(T_LABEL STREQUAL "unit")
    set_property(GLOBAL APPEND PROPERTY MGMT_UNIT_TARGETS ${name})
  endif()
  if(T_THREADED)
    set_property(GLOBAL APPEND PROPERTY MGMT_THREADED_TARGETS ${name})
    set(T_LABEL "${T_LABEL};threaded")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  mgmt_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    MGMT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    MGMT_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(env "MGMT_SOURCE_DIR=${PROJECT_SOURCE_DIR};MGMT_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(T_WHOLE)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  else()
    # List-valued properties (two labels, two variables) do not survive the
    # discovery's own argument passing: they are set on the discovered tests by
    # a script CTest reads after the discovery's.
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      TEST_LIST ${name}_TESTS
      PROPERTIES TIMEOUT ${T_TIMEOUT})
    set(properties_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${properties_file}
      "if(${name}_TESTS)\n"
      "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
      "    LABELS \"${T_LABEL}\" ENVIRONMENT \"${env}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties_file})
  endif()
endfunction()

# mgmt_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <dir>)
# A libFuzzer program (its sources define LLVMFuzzerTestOneInput), built only
# with MGMT_FUZZ; CORPUS is the folder of seed inputs in the source tree (keep
# it small: the unit tests should replay it through the same entry point).
# scripts/fuzz.sh builds every fuzzer (target mgmt_fuzzers) and runs each for a
# fixed time on a copy of its corpus.
function(mgmt_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_CORPUS OR NOT IS_DIRECTORY ${F_CORPUS})
    message(FATAL_ERROR "mgmt_add_fuzzer(${name}): CORPUS must name a folder of seed inputs")
  endif()
  if(NOT MGMT_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_definitions(${name} PRIVATE MGMT_LIBFUZZER)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY MGMT_FUZZERS "${name}=$<TARGET_FILE:${name}>=${F_CORPUS}")
  set_property(GLOBAL APPEND PROPERTY MGMT_FUZZER_TARGETS ${name})
endfunction()

# mgmt_finish(): after every folder was added: the targets that build all unit
# test programs, all threaded test programs and all fuzzers, and the fuzzer list scripts/fuzz.sh
# reads (one "name=program=corpus" a line).
function(mgmt_finish)
  get_property(unit GLOBAL PROPERTY MGMT_UNIT_TARGETS)
  add_custom_target(mgmt_unit_tests)
  if(unit)
    add_dependencies(mgmt_unit_tests ${unit})
  endif()
  get_property(threaded GLOBAL PROPERTY MGMT_THREADED_TARGETS)
  add_custom_target(mgmt_threaded_tests)
  if(threaded)
    add_dependencies(mgmt_threaded_tests ${threaded})
  endif()
  get_property(fuzzers GLOBAL PROPERTY MGMT_FUZZERS)
  get_property(fuzzer_targets GLOBAL PROPERTY MGMT_FUZZER_TARGETS)
  add_custom_target(mgmt_fuzzers)
  if(fuzzer_targets)
    add_dependencies(mgmt_fuzzers ${fuzzer_targets})
  endif()
  list(JOIN fuzzers "\n" lines)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzzers.list CONTENT "${lines}\n")
endfunction()

# mgmt_add_build_folders([EXCLUDE dir...]): adds every folder below the current
# one that has a build file (at any depth, sorted), for tests/ and bench/ whose
# folders mirror the source tree. Fails when a folder holds C++ sources but
# neither it nor a folder above it (below the current one) has a build file:
# such sources would never be built or run.
function(mgmt_add_build_folders)
  cmake_parse_arguments(F "" "" "EXCLUDE" ${ARGN})
  set(here ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB_RECURSE build_files LIST_DIRECTORIES false RELATIVE ${here} ${here}/*/CMakeLists.txt)
  set(dirs "")
  foreach(file IN LISTS build_files)
    get_filename_component(dir ${file} DIRECTORY)
    list(APPEND dirs ${dir})
  endforeach()
  file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE ${here} ${here}/*.cpp ${here}/*.c)
  foreach(source IN LISTS sources)
    get_filename_component(dir ${source} DIRECTORY)
    set(covered FALSE)
    while(dir)
      if(dir IN_LIST dirs)
        set(covered TRUE)
        break()
      endif()
      get_filename_component(dir ${dir} DIRECTORY)
    endwhile()
    if(NOT covered)
      message(FATAL_ERROR "${here}/${source}: no build file in its folder or above it builds it")
    endif()
  endforeach()
  list(SORT dirs)
  foreach(dir IN LISTS dirs)
    if(NOT dir IN_LIST F_EXCLUDE)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
