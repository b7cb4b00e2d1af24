# Shared build conventions: warning flags for our own code, sanitizers, and helpers
# that register GoogleTest programs with CTest under the labels "unit" and
# "integration".

set(MGMT_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2)
if(MGMT_WERROR)
  list(APPEND MGMT_WARNINGS -Werror)
endif()

if(MGMT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# mgmt_target_defaults(<target>): our warning set on a target we own.
function(mgmt_target_defaults target)
  target_compile_options(${target} PRIVATE ${MGMT_WARNINGS})
endfunction()

# mgmt_add_gtest(<name> LABEL unit|integration SOURCES ... LIBS ... [TIMEOUT s] [WHOLE])
# One GoogleTest program. Each of its tests is registered with CTest on its own,
# or, with WHOLE, the program is one CTest test (for integration suites whose
# fixtures start expensive peers once per program). Tests run with the build's
# source and binary directories in the environment so they can find fixtures and
# helper programs without hard-coded paths.
function(mgmt_add_gtest name)
  cmake_parse_arguments(T "WHOLE" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
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
      LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  endif()
endfunction()
