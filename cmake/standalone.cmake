# The album program travels inside every album, to machines that have nothing of Pixelwain. It
# is built the same way in every configuration: small, stripped, with the C++ runtime and the
# image libraries linked in, and without sanitizers (their runtimes would need libstdc++).
include_guard(GLOBAL)

set(PXW_STANDALONE_COMPILE_OPTIONS -Wall -Wextra -Wpedantic -Os -ffunction-sections -fdata-sections)
if(PXW_WERROR)
  list(APPEND PXW_STANDALONE_COMPILE_OPTIONS -Werror)
endif()

# Drops the build-wide options (sanitizers among them) from `target` for the ones above.
function(pxw_standalone_target target)
  set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS ${PXW_STANDALONE_COMPILE_OPTIONS})
  set_property(TARGET ${target} PROPERTY LINK_OPTIONS
    -static-libstdc++ -static-libgcc -Wl,--gc-sections -Wl,--as-needed -s)
endfunction()

# An imported target for a static library file, found by its exact name (Debian ships them
# beside the shared ones), linked before the targets in the remaining arguments.
function(pxw_static_library target file package)
  find_library(${target}_FILE NAMES ${file} NO_CACHE)
  if(NOT ${target}_FILE)
    message(FATAL_ERROR "${file} is missing; install the Debian package ${package}")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${${target}_FILE}
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

pxw_static_library(pxw_static_zlib libz.a zlib1g-dev)
