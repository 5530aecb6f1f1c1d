# SPDX-License-Identifier: MIT
# KQ7_SANITIZE: sanitizers for every target, as a -fsanitize= list such as
# "address,undefined". The first report ends the process, so a test that
# trips a sanitizer fails.
set(KQ7_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined")

if(KQ7_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "KQ7_SANITIZE needs gcc or clang")
  endif()
  add_compile_options(-fsanitize=${KQ7_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${KQ7_SANITIZE})
endif()
