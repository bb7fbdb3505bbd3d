# libFuzzer targets over the extension's decision paths and the host's name and version
# rules, against the recording fake host, under the sanitizers.
foreach(target command_text package_names version_texts cabinet_names)
    add_executable(fuzz_${target} tests/fuzz/fuzz_${target}.cpp ${EXTENSION_SOURCES} ${HOST_RULES_SOURCES}
        corvane/cabinet_names.cpp platform/platform_posix.cpp tests/fakes/fake_host.cpp)
    target_include_directories(fuzz_${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${target} PRIVATE ${CMAKE_DL_LIBS})
endforeach()
