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
