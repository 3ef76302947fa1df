# libFuzzer builds (RUVO_FUZZ, clang only). Every target is compiled with coverage for libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer; only the fuzz targets in tests/fuzz link
# libFuzzer's driver. Include before add_subdirectory(src) so that ruvo_core is instrumented.
if(RUVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "RUVO_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
