# Which room may include which: fails, naming each file and line, when a source file under
# SOURCE_DIR/src includes a room its own room must not depend on.
#   cmake -DSOURCE_DIR=<tree> [-DEXPECT_VIOLATIONS=N] -P include_rules.cmake
# EXPECT_VIOLATIONS: the check of this check: passes only when exactly N are found.
#
# The window rooms (Qt, Win32 and the windows' own rooms) never include the command line's
# room: what both front ends use lives in src/frontend. The front-end room includes neither
# the command line nor a window room. The core includes no front end at all: the rooms it is
# made of below include neither src/frontend nor src/cli, and a room added later (neither a
# front end nor a window room) is held to the window rooms and src/cli.

set(window_rooms app ui window winapp)
set(core_rooms device image os production sim station ledger)

set(forbidden_app cli)
set(forbidden_ui cli)
set(forbidden_window cli)
set(forbidden_winapp cli)
set(forbidden_frontend cli ${window_rooms})
set(forbidden_cli ${window_rooms})
foreach(room IN LISTS core_rooms)
  set(forbidden_${room} cli frontend ${window_rooms})
endforeach()
set(forbidden_new_room cli ${window_rooms})

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
file(GLOB rooms LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*)

set(violations 0)
foreach(room IN LISTS rooms)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/src/${room})
    continue()
  endif()
  if(DEFINED forbidden_${room})
    set(forbidden ${forbidden_${room}})
  else()
    set(forbidden ${forbidden_new_room})
  endif()
  list(JOIN forbidden "|" alternatives)
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${room}/*.h ${SOURCE_DIR}/src/${room}/*.cpp
    ${SOURCE_DIR}/src/${room}/*.h.in ${SOURCE_DIR}/src/${room}/*.cpp.in)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${alternatives})/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
      string(STRIP "${line}" line)
      message("${shown}: src/${room} must not include this: ${line}")
      math(EXPR violations "${violations} + 1")
    endforeach()
  endforeach()
endforeach()

if(DEFINED EXPECT_VIOLATIONS)
  if(NOT violations EQUAL EXPECT_VIOLATIONS)
    message(FATAL_ERROR "found ${violations} includes across the rules, expected ${EXPECT_VIOLATIONS}")
  endif()
elseif(violations GREATER 0)
  message(FATAL_ERROR "${violations} includes break the rooms' rules (docs/architecture.md)")
endif()
