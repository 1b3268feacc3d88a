# Header-only packages of the build machine for a cross build. Their own package
# files put /usr/include on the include path, which would pull the build
# machine's C library headers into a Windows build; here only the package's
# header folder is linked into the build tree and put on the path.
function(bw_host_header_target target folder)
  if(TARGET ${target})
    return()
  endif()
  set(staging ${CMAKE_BINARY_DIR}/host-headers/${folder})
  file(MAKE_DIRECTORY ${staging})
  if(NOT EXISTS ${staging}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${staging}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staging})
endfunction()
