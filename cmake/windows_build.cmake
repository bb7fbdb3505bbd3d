# The product (WSKORDALIN.DLL, Corvane.dll, setuphost.exe) and the tests that run it
# under Wine.
enable_language(RC)

# Link the compiler runtime in, so that dist/ needs no runtime DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_options(-Wall -Wextra)

# Debug information for a crash to be symbolised later (a release ships it apart), with
# no path of this machine in it: the same commit built in any folder gives the same bytes.
# The PE time stamp comes from SOURCE_DATE_EPOCH when it is set (binutils reads it).
add_compile_options(-g -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
# Address-space layout randomisation and no execution of data, stated rather than left to
# the linker's defaults; 64-bit images take the whole 64-bit range. The PE32 registers no
# structured exception handler (C++ exceptions unwind by DWARF tables here) and says so,
# since this toolchain cannot make the table of safe handlers.
add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
else()
    add_link_options(-Wl,--no-seh)
endif()
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_library(Corvane SHARED
    corvane/dll_main.cpp
    corvane/script_settings.cpp
    corvane/run_state.cpp
    corvane/script_run.cpp
    corvane/log.cpp
    corvane/text_services.cpp
    corvane/file_system.cpp
    corvane/run_mode.cpp
    corvane/dry_file_system.cpp
    corvane/file_ops.cpp
    corvane/file_version.cpp
    corvane/cabinet_names.cpp
    corvane/two_at_a_time.cpp
    corvane/run_record.cpp
    corvane/stage_area.cpp
    corvane/commit_journal.cpp
    corvane/leftovers.cpp
    corvane/flush_queue.cpp
    corvane/cabinet_stage.cpp
    corvane/cabinet.cpp
    corvane/mem_inf.cpp
    corvane/corvane.rc
    ${HOST_RULES_SOURCES})
target_include_directories(Corvane PUBLIC ${CMAKE_SOURCE_DIR} PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_compile_definitions(Corvane PRIVATE CORVANE_BUILDING_DLL)
target_link_libraries(Corvane PRIVATE cabinet version)
set_target_properties(Corvane PROPERTIES PREFIX "" OUTPUT_NAME Corvane SUFFIX ".dll")

add_library(WSKORDALIN SHARED
    ${EXTENSION_SOURCES}
    platform/platform_win32.cpp
    resources/wskordalin.rc
    extension/wskordalin.def)
target_include_directories(WSKORDALIN PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(WSKORDALIN PRIVATE Corvane)
set_target_properties(WSKORDALIN PROPERTIES PREFIX "" OUTPUT_NAME WSKORDALIN SUFFIX ".DLL")

add_executable(setuphost setuphost/main.cpp setuphost/run_outcome.cpp setuphost/import_patch.cpp
    setuphost/setuphost.rc)
target_include_directories(setuphost PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(setuphost PRIVATE Corvane)

# Not shipped: shows the version the host reads from a file (used by the demo).
add_executable(fileversion tools/fileversion.cpp)
target_link_libraries(fileversion PRIVATE Corvane)
add_executable(keepalive tools/keepalive.cpp)

# Benchmark programs (not shipped).
add_executable(install_loop bench/install_loop.cpp)
target_link_libraries(install_loop PRIVATE Corvane)
add_executable(make_tiny_cabs bench/make_tiny_cabs.cpp)
add_executable(bare_fdi bench/bare_fdi.cpp)
target_link_libraries(bare_fdi PRIVATE cabinet)

# The mutation run of make fuzz: damaged cabinets through InstallCab.
add_executable(cab_mutate tests/fuzz/cab_mutate.cpp corvane/cabinet_names.cpp)
target_include_directories(cab_mutate PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(cab_mutate PRIVATE Corvane cabinet)

include(cmake/windows_tests.cmake)
