# The extension's sources with the POSIX platform layer and the recording fake host, as
# unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set(SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g ${SANITIZERS})
add_link_options(${SANITIZERS})

option(WSK_FUZZ "Build the libFuzzer targets (clang) instead of the unit tests" OFF)
if(WSK_FUZZ)
    include(cmake/fuzz_targets.cmake)
else()
    include(cmake/native_tests.cmake)
endif()
