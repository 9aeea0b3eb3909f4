# All compile flags in one interface target that every Corvina target links.
add_library(corvina_flags INTERFACE)
target_compile_options(corvina_flags INTERFACE -Wall -Wextra)
if(CORVINA_WERROR)
  target_compile_options(corvina_flags INTERFACE -Werror)
endif()
if(CORVINA_SANITIZE)
  target_compile_options(corvina_flags INTERFACE -fsanitize=${CORVINA_SANITIZE} -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=all)
  target_link_options(corvina_flags INTERFACE -fsanitize=${CORVINA_SANITIZE})
endif()
if(CORVINA_FUZZ)
  # Coverage feedback for libFuzzer in every unit the targets reach.
  target_compile_options(corvina_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
