# Compiler warnings for every target of ours: a warning is often a fault that
# has not shown yet. Third-party code stays quiet: easylogging++ is compiled
# with -w and the dependencies' headers are SYSTEM includes. CI builds turn
# SETUP_WERROR on, so that a new warning fails the build.
include_guard(GLOBAL)
option(SETUP_WERROR "Fail the build on any compiler warning" OFF)
add_compile_options(-Wall -Wextra $<$<BOOL:${SETUP_WERROR}>:-Werror>)
