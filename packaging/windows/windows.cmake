# The Windows programs' resources and their package: each program gets version
# information, the icon, the application manifest (UTF-8 code page, per-monitor DPI, common
# controls 6) and the event log's message table; `bw_windows_program(TARGET DESCRIPTION)`
# adds them to a program and lists it for the zip and the installer (BW_WINDOWS_PROGRAMS).
set(BW_WINDOWS_DIR ${CMAKE_SOURCE_DIR}/packaging/windows)
set(BW_ICON ${CMAKE_BINARY_DIR}/windows/binwright.ico)
set(BW_MESSAGES_RC ${CMAKE_BINARY_DIR}/windows/messages.rc)
add_custom_command(OUTPUT ${BW_ICON}
  COMMAND bash ${BW_WINDOWS_DIR}/make-icon.sh ${BW_ICON}
    ${CMAKE_SOURCE_DIR}/packaging/icons/binwright-64.png
    ${CMAKE_SOURCE_DIR}/packaging/icons/binwright-128.png
  DEPENDS ${BW_WINDOWS_DIR}/make-icon.sh ${CMAKE_SOURCE_DIR}/packaging/icons/binwright-64.png
    ${CMAKE_SOURCE_DIR}/packaging/icons/binwright-128.png)
find_program(BW_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
add_custom_command(OUTPUT ${BW_MESSAGES_RC}
  COMMAND ${BW_WINDMC} -r ${CMAKE_BINARY_DIR}/windows -h ${CMAKE_BINARY_DIR}/windows
    ${BW_WINDOWS_DIR}/messages.mc
  DEPENDS ${BW_WINDOWS_DIR}/messages.mc)
add_custom_target(bw_windows_resources DEPENDS ${BW_ICON} ${BW_MESSAGES_RC})

set(BW_WINDOWS_PROGRAMS "" CACHE INTERNAL "")
function(bw_windows_program target description)
  set(BW_PROGRAM ${target})
  set(BW_DESCRIPTION ${description})
  set(BW_MANIFEST ${CMAKE_BINARY_DIR}/windows/${target}.manifest)
  configure_file(${BW_WINDOWS_DIR}/binwright.manifest.in ${BW_MANIFEST} @ONLY)
  configure_file(${BW_WINDOWS_DIR}/program.rc.in ${CMAKE_BINARY_DIR}/windows/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/windows/${target}.rc)
  set_source_files_properties(${CMAKE_BINARY_DIR}/windows/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${BW_ICON};${BW_MESSAGES_RC};${BW_MANIFEST}")
  add_dependencies(${target} bw_windows_resources)
  # Shipped stripped; the debug information stays beside it in the build folder
  # (TARGET.debug, found by the debugger through the link the exe keeps).
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  set(BW_WINDOWS_PROGRAMS ${BW_WINDOWS_PROGRAMS} ${target} CACHE INTERNAL "")
endfunction()

# `windows_package`: the zip and the installer of every program listed, in the build folder.
function(bw_windows_package)
  set(programs)
  foreach(target ${BW_WINDOWS_PROGRAMS})
    list(APPEND programs $<TARGET_FILE:${target}>)
  endforeach()
  add_custom_target(windows_package
    COMMAND bash ${BW_WINDOWS_DIR}/package.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION}
      ${CMAKE_SOURCE_DIR} ${BW_ICON} ${programs}
    DEPENDS ${BW_WINDOWS_PROGRAMS} ${BW_WINDOWS_DIR}/package.sh
      ${BW_WINDOWS_DIR}/README-windows.txt
    VERBATIM)
endfunction()
