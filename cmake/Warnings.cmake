# Every target of ours links this: warnings on, none tolerated in our code. RUVO_WERROR (on in
# the presets CI builds) makes any warning fail the build.
option(RUVO_WERROR "Treat warnings in our code as errors" OFF)
add_library(ruvo_warnings INTERFACE)
target_compile_options(ruvo_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                               $<$<BOOL:${RUVO_WERROR}>:-Werror>)
