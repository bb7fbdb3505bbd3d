# The extension's sources with the POSIX platform layer and the recording fake host, as
# unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set(SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g ${SANITIZERS})
add_link_options(${SANITIZERS})

include(cmake/native_tests.cmake)
