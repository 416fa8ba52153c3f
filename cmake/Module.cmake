# Helpers shared by every directory.
#
#   dms_module(NAME <lib> [DEPS <libs...>] [SOURCES <extra...>] [PROGRAM <exe> <main.cpp>])
#     A static library of the directory's *.cpp files (without the PROGRAM's main source), its
#     unit tests from tests/*.cpp (one binary, label "unit"), one benchmark per bench/*.cpp and
#     one libFuzzer target per fuzz/*.cpp. PROGRAM adds an executable of <main.cpp> over the
#     library.
#   dms_program(NAME <exe> SOURCES <files...> [DEPS <libs...>])
#     A host executable (tools, test hosts) over the libraries it declares.
#
# Each library sees only the headers of the libraries it declares: its include root holds one
# link, <dir> -> the library's source directory, so includes keep the form "render/surface.h"
# without exposing the repository root. scripts/check-layering checks the declared graph.

set(DMS_WARNINGS -Wall -Wextra -Werror)
# GCC 12 reports known false positives in optimised builds (-Wrestrict on "literal" +
# std::string, -Warray-bounds through inlined containers); they stay warnings there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND DMS_WARNINGS -Wno-error=restrict -Wno-error=array-bounds)
endif()

function(dms_flags target)
  target_compile_options(${target} PRIVATE ${DMS_WARNINGS})
  if(DMS_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
  if(DMS_TSAN)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=thread)
  endif()
  if(DMS_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# The include root of a library: <binary>/include/<lib>/<dir> links to the source directory.
function(dms_include_root lib scope)
  file(RELATIVE_PATH dir ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${lib})
  get_filename_component(parent ${root}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${root}/${dir})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${dir} SYMBOLIC)
  endif()
  target_include_directories(${lib} ${scope} ${root})
endfunction()

function(dms_module)
  cmake_parse_arguments(M "" "NAME" "DEPS;SOURCES;PROGRAM" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(M_PROGRAM)
    list(GET M_PROGRAM 0 program)
    list(GET M_PROGRAM 1 main)
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${main})
  endif()
  list(APPEND srcs ${M_SOURCES})
  if(srcs)
    add_library(${M_NAME} STATIC ${srcs})
    target_link_libraries(${M_NAME} PUBLIC ${M_DEPS} Threads::Threads)
    dms_flags(${M_NAME})
    dms_include_root(${M_NAME} PUBLIC)
  else()
    add_library(${M_NAME} INTERFACE)
    target_link_libraries(${M_NAME} INTERFACE ${M_DEPS})
    dms_include_root(${M_NAME} INTERFACE)
  endif()

  if(M_PROGRAM)
    add_executable(${program} ${main})
    target_link_libraries(${program} PRIVATE ${M_NAME})
    dms_flags(${program})
  endif()

  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests AND NOT DMS_FUZZ)
    add_executable(${M_NAME}_tests ${tests})
    target_link_libraries(${M_NAME}_tests PRIVATE ${M_NAME} GTest::gtest GTest::gtest_main GTest::gmock)
    dms_flags(${M_NAME}_tests)
    target_compile_definitions(${M_NAME}_tests PRIVATE DMS_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
    if(DMS_TEST_SHARDS GREATER 1)
      # Slow sanitizer runs: the binary's cases split over shards that ctest runs in parallel.
      math(EXPR last "${DMS_TEST_SHARDS} - 1")
      foreach(i RANGE ${last})
        add_test(NAME ${M_NAME}_tests_${i} COMMAND ${M_NAME}_tests)
        set_tests_properties(${M_NAME}_tests_${i} PROPERTIES LABELS unit TIMEOUT 1200
          ENVIRONMENT "GTEST_TOTAL_SHARDS=${DMS_TEST_SHARDS};GTEST_SHARD_INDEX=${i}")
      endforeach()
    else()
      add_test(NAME ${M_NAME}_tests COMMAND ${M_NAME}_tests)
      set_tests_properties(${M_NAME}_tests PROPERTIES LABELS unit TIMEOUT 600)
    endif()
  endif()

  file(GLOB benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
  if(benches AND DMS_BENCH AND NOT DMS_SANITIZE AND NOT DMS_TSAN AND NOT DMS_FUZZ)
    foreach(b ${benches})
      get_filename_component(bn ${b} NAME_WE)
      add_executable(${bn} ${b})
      target_link_libraries(${bn} PRIVATE ${M_NAME} benchmark::benchmark)
      dms_flags(${bn})
    endforeach()
  endif()

  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp)
  if(fuzzers AND DMS_FUZZ)
    foreach(f ${fuzzers})
      get_filename_component(fn ${f} NAME_WE)
      add_executable(${fn} ${f})
      target_link_libraries(${fn} PRIVATE ${M_NAME})
      target_link_options(${fn} PRIVATE -fsanitize=fuzzer)
      dms_flags(${fn})
      set_property(GLOBAL APPEND PROPERTY DMS_FUZZERS ${fn})
    endforeach()
  endif()
endfunction()

function(dms_program)
  cmake_parse_arguments(P "" "NAME" "DEPS;SOURCES" ${ARGN})
  add_executable(${P_NAME} ${P_SOURCES})
  target_link_libraries(${P_NAME} PRIVATE ${P_DEPS})
  dms_flags(${P_NAME})
endfunction()
