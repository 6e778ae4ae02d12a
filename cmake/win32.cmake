# Windows (i686) tree: the engine DLL, the programs, and every test run under Wine.
add_compile_options(-Wall -Wextra)
# No runtime DLL of the compiler: everything the binaries import is part of Windows.
add_link_options(-static -static-libgcc -static-libstdc++)

set(TARN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/support/wine-run.sh ${TARN_WINEPREFIX})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
add_library(tarn_pure STATIC ${TARN_PURE_SOURCES})
target_link_libraries(tarn_pure PUBLIC ZLIB::ZLIB)

# The builder: the same program natively and for Windows.
add_executable(tarnbuild ${PROJECT_SOURCE_DIR}/builder/tarnbuild.cpp)
target_link_libraries(tarnbuild tarn_pure)

set(TARN_SYSTEM_LIBS user32 gdi32 advapi32 shell32 comdlg32 comctl32 winmm version ole32 oleaut32 uuid)

# The engine as a static library: linked into the DLL and into tests that observe the run.
file(GLOB_RECURSE TARN_ENGINE_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/engine/*/*.cpp ${PROJECT_SOURCE_DIR}/engine/*/*.rc)
# Pure files are built once, in tarn_pure.
list(TRANSFORM TARN_PURE_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE TARN_PURE_PATHS)
list(REMOVE_ITEM TARN_ENGINE_SOURCES ${TARN_PURE_PATHS})
add_library(tarn_engine STATIC ${TARN_ENGINE_SOURCES})
target_link_libraries(tarn_engine PUBLIC tarn_pure ${TARN_SYSTEM_LIBS})

add_library(TARN0132 SHARED ${PROJECT_SOURCE_DIR}/engine/entry/tarn0132.def)
target_link_libraries(TARN0132 PRIVATE -Wl,--whole-archive tarn_engine -Wl,--no-whole-archive)
set_target_properties(TARN0132 PROPERTIES PREFIX "" OUTPUT_NAME TARN0132 LINKER_LANGUAGE CXX)

# The test host and the host's codec.
add_library(tarn_test_host STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/test_host.cpp
  ${PROJECT_SOURCE_DIR}/host/archive_codec.cpp)
target_link_libraries(tarn_test_host PUBLIC tarn_pure ${TARN_SYSTEM_LIBS})

# Pure unit tests, the same as natively.
file(GLOB TARN_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TARN_UNIT_TESTS})
target_link_libraries(unit_tests tarn_pure GTest::gtest_main)
add_test(NAME unit_tests COMMAND unit_tests)

# Engine tests under Wine: one process per test, since a run owns its process.
file(GLOB TARN_WINE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/*.cpp)
add_executable(engine_tests ${TARN_WINE_TESTS})
target_link_libraries(engine_tests tarn_engine tarn_test_host GTest::gtest_main)
add_dependencies(engine_tests TARN0132)
gtest_discover_tests(engine_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                     PROPERTIES ENVIRONMENT "TARN_DLL=TARN0132.dll;TARN_ARTIFACTS=artifacts;TARN_FIXTURES=fixtures")

add_test(NAME dll_exports_and_imports
         COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/check_dll.sh $<TARGET_FILE:TARN0132>)

# The rest reminder and its tests.
if(EXISTS ${PROJECT_SOURCE_DIR}/reminder/CMakeLists.txt)
  add_subdirectory(reminder)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/reminder/CMakeLists.txt)
  add_subdirectory(tests/reminder)
endif()

# The setup stub: a setup program is this program with an archive appended.
add_executable(tarnhost WIN32 ${PROJECT_SOURCE_DIR}/host/tarnhost.cpp ${PROJECT_SOURCE_DIR}/host/archive_codec.cpp)
target_link_libraries(tarnhost tarn_pure user32 gdi32)

# A sample installation through the DLL, run by scripts/demo.sh.
add_executable(sample_install ${PROJECT_SOURCE_DIR}/tests/support/sample_install.cpp)
target_link_libraries(sample_install tarn_test_host)
add_dependencies(sample_install TARN0132)

# Binaries the tests use as data.
add_subdirectory(tests/fixtures)
add_dependencies(engine_tests versioned_dll_v1 versioned_dll_v2 versioned_app_v9 transform_fixture
                 registering_dll registering_app registration_program registering_tlb progress_plugin)

# End to end: tarnbuild.exe builds a setup program that installs under Wine.
add_test(NAME Setup.EndToEnd COMMAND sh ${PROJECT_SOURCE_DIR}/tests/e2e/setup_e2e.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(Setup.EndToEnd PROPERTIES TIMEOUT 300)
