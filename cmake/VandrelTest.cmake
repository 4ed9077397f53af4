# Test executables: GoogleTest binaries whose cases CTest lists one by one, with a label per module.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# A private runtime directory for the tests' Qt windows (Qt wants it owned and 0700).
set(VANDREL_TEST_RUNTIME_DIR "${CMAKE_BINARY_DIR}/test-runtime")
file(MAKE_DIRECTORY "${VANDREL_TEST_RUNTIME_DIR}")
file(CHMOD "${VANDREL_TEST_RUNTIME_DIR}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# vandrel_test(<name> LABEL <label> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>]
#              [TIMEOUT <seconds per case>])
function(vandrel_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  set(timeout)
  if(T_TIMEOUT)
    set(timeout TIMEOUT ${T_TIMEOUT})
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # The test programs read GoogleTest's (and Qt's) headers once, and are optimised less than
  # the libraries they test, whose objects are the ones the tool and the tools link: most of a
  # test file's compile time went into optimising its own test bodies.
  if(T_LIBS MATCHES "vandrel_app_ui|vandrel_foundation_qt|Qt6::")
    vandrel_precompile(${name} GTEST QT)
  else()
    vandrel_precompile(${name} GTEST)
  endif()
  target_compile_options(${name} PRIVATE $<$<CONFIG:Release>:-O0>)
  # Qt makes /tmp/runtime-<user> when XDG_RUNTIME_DIR is unset; tests keep it in the build
  # tree. (A second ENVIRONMENT entry would not survive gtest_discover_tests' flattening.)
  set(runtime "XDG_RUNTIME_DIR=set:$ENV{XDG_RUNTIME_DIR}")
  if(NOT DEFINED ENV{XDG_RUNTIME_DIR})
    set(runtime "XDG_RUNTIME_DIR=set:${VANDREL_TEST_RUNTIME_DIR}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABEL}" ENVIRONMENT "${T_ENV}" ENVIRONMENT_MODIFICATION "${runtime}"
               ${timeout}
    DISCOVERY_TIMEOUT 60)
endfunction()
