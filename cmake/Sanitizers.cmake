# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build when RUVO_SANITIZE is on.
add_library(ruvo_sanitizers INTERFACE)
if(RUVO_SANITIZE)
  set(_ruvo_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  target_compile_options(ruvo_sanitizers INTERFACE ${_ruvo_san_flags})
  target_link_options(ruvo_sanitizers INTERFACE ${_ruvo_san_flags})
endif()
