# Test executables: GoogleTest binaries whose cases CTest lists one by one, with a label per module.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# A private runtime directory for the tests' Qt windows (Qt wants it owned and 0700).
set(VANDREL_TEST_RUNTIME_DIR "${CMAKE_BINARY_DIR}/test-runtime")
file(MAKE_DIRECTORY "${VANDREL_TEST_RUNTIME_DIR}")
file(CHMOD "${VANDREL_TEST_RUNTIME_DIR}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# The test programs share two precompiled headers, one with Qt's headers and one without: each
# program compiling its own cost 4 to 10 s of a fresh build apiece. A header is made by a small
# program of its own, built with the test programs' flags (a program's, not a library's, so that
# position-independent code matches); GCC warns (-Winvalid-pch) where one could not be used.
function(vandrel_test_precompile name)
  cmake_parse_arguments(P "QT" "" "" ${ARGN})
  if(NOT VANDREL_PCH)
    return()
  endif()
  set(owner vandrel_test_pch)
  set(libs GTest::gmock GTest::gtest_main)
  set(qt)
  if(P_QT)
    set(owner vandrel_test_pch_qt)
    # Not Qt Test: it defines each directory's build directory, which the header does not need.
    list(APPEND libs Qt6::Widgets)
    set(qt QT)
  endif()
  if(NOT TARGET ${owner})
    set(source "${CMAKE_BINARY_DIR}/${owner}.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT "// Only the precompiled header of the test programs.\n")
    add_executable(${owner} "${source}")
    target_link_libraries(${owner} PRIVATE ${libs})
    target_compile_options(${owner} PRIVATE $<$<CONFIG:Release>:-O0>)
    vandrel_precompile(${owner} GTEST ${qt})
  endif()
  target_precompile_headers(${name} REUSE_FROM ${owner})
  target_compile_options(${name} PRIVATE -Winvalid-pch)
endfunction()

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
  set(qt)
  if(T_LIBS MATCHES "vandrel_app_ui|vandrel_foundation_qt|Qt6::")
    set(qt QT)
  endif()
  vandrel_test_precompile(${name} ${qt})
  target_compile_options(${name} PRIVATE $<$<CONFIG:Release>:-O0>)
  # In a unity build a test file is included by another, and GCC takes a fixture in an anonymous
  # namespace for one declared in a header.
  if(CMAKE_UNITY_BUILD)
    target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
  endif()
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
