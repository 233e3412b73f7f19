# Options every target of the project compiles with.  Tables are compared
# bit for bit, so the floating-point flags come last on the command line
# and override whatever a user put into CMAKE_<LANG>_FLAGS.
add_library(buildoptions INTERFACE)
target_compile_options(buildoptions INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow
  -ffp-contract=off -fno-fast-math)
