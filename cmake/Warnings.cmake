# Every target of ours links this: warnings on, none tolerated in our code.
add_library(ruvo_warnings INTERFACE)
target_compile_options(ruvo_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
