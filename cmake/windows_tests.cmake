# Tests of the Windows build. Test programs run through Wine (the cross-compiling
# emulator); the whole-run tests are scripts that drive setuphost.exe under Wine.
include(cmake/unit_tests.cmake)
add_shared_unit_tests(win platform/platform_win32.cpp Corvane.dll)
add_executable(is_locked tests/host/helpers/is_locked.cpp)
target_link_libraries(is_locked PRIVATE Corvane)
add_dependencies(wsk_unit_tests Corvane is_locked)

# The real host library on real files; cabinets are made by gcab before the run.
file(GLOB HOST_TEST_SOURCES CONFIGURE_DEPENDS tests/host/*.cpp)
add_executable(corvane_tests ${HOST_TEST_SOURCES})
target_include_directories(corvane_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(corvane_tests PRIVATE Corvane GTest::gtest_main)
target_sources(corvane_tests PRIVATE setuphost/import_patch.cpp setuphost/run_outcome.cpp)
add_executable(lock_holder tests/host/helpers/lock_holder.cpp)
# An update stopped dead at a chosen file-system operation, for the test of every step.
add_executable(stopped_update tests/host/helpers/stopped_update.cpp setuphost/import_patch.cpp)
target_include_directories(stopped_update PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/host)
target_link_libraries(stopped_update PRIVATE Corvane)
add_dependencies(corvane_tests lock_holder stopped_update WSKORDALIN)
# DLLs that carry only a version block, for the version order tests.
foreach(version 5.1.0.9 5.1.1.0 0.0.0.0)
    string(REPLACE "." "_" name "version_${version}")
    string(REPLACE "." "," numbers "${version}")
    add_library(${name} SHARED tests/host/helpers/empty.cpp tests/host/helpers/test_version.rc)
    target_compile_definitions(${name} PRIVATE TEST_VERSION=${numbers})
    set_target_properties(${name} PROPERTIES PREFIX "")
    add_dependencies(corvane_tests ${name})
endforeach()
set(CABINET_FIXTURES ${CMAKE_BINARY_DIR}/fixtures/cabinets)
add_test(NAME win.make_cabinets
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/make_cabinets.sh ${CABINET_FIXTURES})
set_tests_properties(win.make_cabinets PROPERTIES FIXTURES_SETUP cabinets)
add_test(NAME win.host COMMAND corvane_tests --gtest_filter=-EveryStep.*)
# An update stopped at each of its file-system operations in turn, killed and failing:
# long, so two tests of their own that run beside the others.
add_test(NAME win.every_step.kill COMMAND corvane_tests --gtest_filter=EveryStep.Killed*)
add_test(NAME win.every_step.fail COMMAND corvane_tests --gtest_filter=EveryStep.Failing*)
add_test(NAME win.every_step.power_cut COMMAND corvane_tests --gtest_filter=EveryStep.PowerCut*)
set_tests_properties(win.host win.every_step.kill win.every_step.fail win.every_step.power_cut PROPERTIES FIXTURES_REQUIRED cabinets
    ENVIRONMENT "WSK_CABINETS=${CABINET_FIXTURES};WSK_BIN=${CMAKE_BINARY_DIR}/bin")

# The built module: version block, exports, loading.
add_executable(module_tests tests/module/test_module.cpp)
target_include_directories(module_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(module_tests PRIVATE version GTest::gtest_main)
add_dependencies(module_tests WSKORDALIN)
add_test(NAME win.module COMMAND module_tests)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(WSK_MODULE_KIND pe32)
else()
    set(WSK_MODULE_KIND x64)
endif()
add_test(NAME win.exports
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/module/check_exports.sh $<TARGET_FILE:WSKORDALIN> ${WSK_MODULE_KIND})

# The shipped PE32 module checked from this build, where no 32-bit code needs to run: its
# file (kind, exports, the arguments each pops, imports) and its version block.
set(WSK_PE32_MODULE "" CACHE FILEPATH "The PE32 WSKORDALIN.DLL to check from the 64-bit build")
if(WSK_PE32_MODULE)
    add_test(NAME pe32.exports
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/module/check_exports.sh ${WSK_PE32_MODULE} pe32)
    add_test(NAME pe32.version_block
        COMMAND module_tests --gtest_filter=VersionBlock.*:ModuleResources.*)
    file(TO_NATIVE_PATH "${WSK_PE32_MODULE}" pe32_module)
    set_tests_properties(pe32.version_block PROPERTIES ENVIRONMENT "WSK_MODULE=Z:${pe32_module}")
endif()

# Whole runs of setuphost.exe on real directory trees.
add_executable(make_cab tests/host/helpers/make_cab.cpp)
file(GLOB E2E_CASES CONFIGURE_DEPENDS tests/e2e/test_*.sh)
foreach(case ${E2E_CASES})
    get_filename_component(name ${case} NAME_WE)
    add_test(NAME e2e.${name} COMMAND bash ${case})
    set_tests_properties(e2e.${name} PROPERTIES
        ENVIRONMENT "WSK_BIN=${CMAKE_BINARY_DIR}/bin;WSK_SOURCE=${CMAKE_SOURCE_DIR};WSK_WINE=${CMAKE_CROSSCOMPILING_EMULATOR};WSK_MODULE_KIND=${WSK_MODULE_KIND}")
endforeach()
# Killing a Wine process outright can make Wine drop the clients running beside it.
set_tests_properties(e2e.test_fault_kill PROPERTIES RUN_SERIAL TRUE)
