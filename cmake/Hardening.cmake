# Debian's hardening for the program that is shipped (RUVO_HARDENING, set by the "package"
# preset): fortified libc calls, stack protector, position-independent executable, and
# relocations read-only with every symbol bound at start ("bindnow").
option(RUVO_HARDENING "Build with Debian's hardening flags (for the shipped package)" OFF)
if(RUVO_HARDENING)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # The compiler may already define _FORTIFY_SOURCE; ours replaces it without a warning.
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong
                      -fstack-clash-protection -Wformat -Werror=format-security)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
