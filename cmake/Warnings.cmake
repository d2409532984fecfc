add_library(pagewright_warnings INTERFACE)
target_compile_options(pagewright_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow=local -Wno-missing-field-initializers>)
