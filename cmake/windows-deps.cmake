# The libraries the Windows configuration links that Debian ships for Linux only: cross-built
# once per build folder by scripts/build-windows-deps.sh, from the source packages of the
# releases the Linux build links, and kept there (deps/; a stamp per library).
set(PXW_WIN_DEPS ${CMAKE_BINARY_DIR}/deps)
set(PXW_WIN_DEP_VERSIONS libzip-1.7.3 libjpeg-turbo-2.1.5 lcms2-2.14 libexif-0.6.24)
set(missing "")
foreach(dep IN LISTS PXW_WIN_DEP_VERSIONS)
  if(NOT EXISTS ${PXW_WIN_DEPS}/${dep}.stamp)
    string(REGEX REPLACE "-[0-9.]+$" "" name ${dep})
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(STATUS "Cross-building ${missing} into ${PXW_WIN_DEPS}")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-windows-deps.sh ${PXW_WIN_DEPS}
    ${PROJECT_SOURCE_DIR}/cmake/mingw-w64.cmake ${missing} RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "${missing} could not be cross-built (scripts/build-windows-deps.sh)")
  endif()
endif()

function(pxw_win_dep target archive)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${PXW_WIN_DEPS}/lib/${archive}
    INTERFACE_INCLUDE_DIRECTORIES ${PXW_WIN_DEPS}/include ${ARGN})
endfunction()
pxw_win_dep(pxw_libzip libzip.a INTERFACE_COMPILE_DEFINITIONS ZIP_STATIC
  INTERFACE_LINK_LIBRARIES ${ZLIB_LIBRARY})
pxw_win_dep(pxw_libjpeg libjpeg.a)
pxw_win_dep(pxw_lcms2 liblcms2.a)
pxw_win_dep(pxw_libexif libexif.a)
