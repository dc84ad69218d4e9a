# One static library per folder, built from every .cpp file directly in it
# (a new file is picked up at the next build: the glob is re-checked).
# A core target (no QT) must not link Qt; its window side is a separate `ui`
# target in the folder's ui/ subfolder. DEPS are public (the folder's headers
# include theirs), PRIVATE_DEPS only for the folder's own .cpp files.
function(lp_folder_library name)
  cmake_parse_arguments(ARG "QT" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  if(NOT ARG_QT)
    foreach(dep IN LISTS ARG_DEPS ARG_PRIVATE_DEPS)
      if(dep MATCHES "^Qt6?::" OR dep MATCHES "_ui$")
        message(FATAL_ERROR "${name} is a core target and must not link ${dep}")
      endif()
    endforeach()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    if(ARG_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
  endif()
endfunction()

# The shared test files; a checkout elsewhere (a worktree) names them at configure time.
set(LARKPOST_TESTDATA "${PROJECT_SOURCE_DIR}/../shared/testdata" CACHE PATH "The shared test files")
set(LP_TEST_ENV
  "LARKPOST_HOME=${PROJECT_BINARY_DIR}/test-home"
  "LARKPOST_REGISTRY=${PROJECT_BINARY_DIR}/test-home/registry.reg"
  "LARKPOST_TESTDATA=${LARKPOST_TESTDATA}"
  "LARKPOST_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "QT_QPA_PLATFORM=offscreen"
  "QTWEBENGINE_DISABLE_SANDBOX=1"
  "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu"
  "QTEST_FUNCTION_TIMEOUT=120000"
)

# tests/<folder>/NAME_test.cpp: one GoogleTest binary each.
# tests/<folder>/NAME_qtest.cpp: one Qt Test binary each, run offscreen.
# tests/<folder>/NAME_fuzz.cpp: one libFuzzer target each, only with LARKPOST_FUZZ.
# DEPS go to every test of the folder, QT_DEPS only to its Qt Test binaries
# (the window tests of a folder link its ui target that way).
function(lp_folder_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS;QT_DEPS" ${ARGN})
  file(GLOB gtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_qtest.cpp)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  foreach(src IN LISTS gtests)
    get_filename_component(base ${src} NAME_WE)
    set(target test_${folder}_${base})
    add_executable(${target} ${src} ${support})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE ${folder} ${ARG_DEPS} GTest::gtest_main GTest::gmock)
    # The environment goes through the executor: a list given as a test
    # property would keep only its first entry after discovery.
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${LP_TEST_ENV}")
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
  endforeach()
  foreach(src IN LISTS qtests)
    get_filename_component(base ${src} NAME_WE)
    set(target test_${folder}_${base})
    add_executable(${target} ${src} ${support})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE ${folder} ${ARG_DEPS} ${ARG_QT_DEPS} Qt6::Test)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${LP_TEST_ENV}" TIMEOUT 300)
  endforeach()
  if(LARKPOST_FUZZ)
    foreach(src IN LISTS fuzzers)
      get_filename_component(base ${src} NAME_WE)
      set(target fuzz_${folder}_${base})
      add_executable(${target} ${src})
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
      target_link_options(${target} PRIVATE -fsanitize=fuzzer)
      target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
      target_link_libraries(${target} PRIVATE ${folder} ${ARG_DEPS})
      add_dependencies(fuzz_all ${target})
    endforeach()
  endif()
endfunction()
