# Test executables: GoogleTest binaries whose cases CTest lists one by one, with a label per module.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

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
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABEL}" ENVIRONMENT "${T_ENV}" ${timeout}
    DISCOVERY_TIMEOUT 60)
endfunction()
