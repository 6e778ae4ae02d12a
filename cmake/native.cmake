# Native (Linux) tree: the pure logic with AddressSanitizer and UBSan, and the fuzzers.
# Benchmark trees measure the code as shipped: no sanitizers there.
if(NOT TARN_BENCH)
  set(TARN_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
add_compile_options(-Wall -Wextra ${TARN_SANITIZE})
add_link_options(${TARN_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

find_package(ZLIB REQUIRED)
add_library(tarn_pure STATIC ${TARN_PURE_SOURCES})
target_link_libraries(tarn_pure PUBLIC ZLIB::ZLIB)

# The builder: the same program natively and for Windows.
add_executable(tarnbuild ${PROJECT_SOURCE_DIR}/builder/tarnbuild.cpp)
target_link_libraries(tarnbuild tarn_pure)

file(GLOB TARN_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TARN_UNIT_TESTS})
target_link_libraries(unit_tests tarn_pure GTest::gtest_main)
add_test(NAME unit_tests COMMAND unit_tests)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(TARN_FUZZ_SECONDS 5 CACHE STRING "Length of the fuzz smoke run of each target")
  file(GLOB TARN_FUZZERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
  foreach(source ${TARN_FUZZERS})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${TARN_PURE_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} ZLIB::ZLIB)
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${name}_smoke
             COMMAND ${name} -max_total_time=${TARN_FUZZ_SECONDS} -rss_limit_mb=4096 ${corpus}
                     ${PROJECT_SOURCE_DIR}/tests/fuzz/seeds/${name})
  endforeach()
endif()

# The rest reminder's pure rules.
add_executable(reminder_unit_tests reminder/reminder_text.cpp reminder/fade.cpp
               tests/reminder/reminder_text_test.cpp)
target_link_libraries(reminder_unit_tests GTest::gtest_main)
add_test(NAME Reminder.unit_tests COMMAND reminder_unit_tests)
