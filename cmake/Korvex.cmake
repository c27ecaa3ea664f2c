# Build helpers shared by every folder. They reject unknown arguments so that a typo fails the configure.

function(korvex_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# korvex_library(NAME [SHARED|STATIC] SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# Libraries are shared by default: hook slots and unit counters must exist once per process.
function(korvex_library name)
  cmake_parse_arguments(PARSE_ARGV 1 KL "SHARED;STATIC" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS")
  if(KL_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "korvex_library(${name}): unknown arguments ${KL_UNPARSED_ARGUMENTS}")
  endif()
  set(kind SHARED)
  if(KL_STATIC)
    set(kind STATIC)
  endif()
  add_library(${name} ${kind} ${KL_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${KL_PUBLIC_LIBS} PRIVATE ${KL_PRIVATE_LIBS})
endfunction()

# korvex_test(NAME SOURCES ... LIBS ... [DATABASE])
# One GoogleTest executable; DATABASE makes every test need the private PostgreSQL fixture.
function(korvex_test name)
  cmake_parse_arguments(PARSE_ARGV 1 KT "DATABASE" "" "SOURCES;LIBS")
  if(KT_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "korvex_test(${name}): unknown arguments ${KT_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE korvex_test_support ${KT_LIBS})
  # The test main points libpq at the private cluster; only the fixture goes through ctest, as a
  # list-valued ENVIRONMENT does not survive gtest_discover_tests.
  if(KT_DATABASE)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES FIXTURES_REQUIRED pg)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
