# The core's tests built for Windows and run under Wine (the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR): one CTest test per program rather than one per case, since
# every case would otherwise start Wine anew. Both share one Wine prefix that the fixture
# makes fresh for the run and takes down at its end; the ledger's PostgreSQL cases talk to
# the private server of the Linux tests (pg fixture) through the Windows libpq.
# What Windows cannot run is left out where it is written, each with its reason: the command
# line on a pseudo-terminal and the virtual USB mouse (files not built), FIFOs, device nodes
# and symbolic links, a forked child killed or limited (ulimit, a mount namespace), the udev
# rules and their hints.
set(BW_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(BW_WINE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh)
add_test(NAME wine_prefix_start COMMAND bash ${BW_WINE_SCRIPT} start ${BW_WINE_PREFIX})
add_test(NAME wine_prefix_stop COMMAND bash ${BW_WINE_SCRIPT} stop ${BW_WINE_PREFIX})
set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine LABELS windows TIMEOUT 300)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine LABELS windows)
set(BW_PG_STATE ${CMAKE_CURRENT_BINARY_DIR}/pg-cluster)
set(BW_PG_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../support/pg-cluster.sh)
add_test(NAME pg_cluster_start COMMAND ${BW_PG_SCRIPT} start ${BW_PG_STATE})
add_test(NAME pg_cluster_stop COMMAND ${BW_PG_SCRIPT} stop ${BW_PG_STATE})
set_tests_properties(pg_cluster_start PROPERTIES FIXTURES_SETUP pg LABELS windows TIMEOUT 300)
set_tests_properties(pg_cluster_stop PROPERTIES FIXTURES_CLEANUP pg LABELS windows)

file(GLOB BW_LEDGER_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../ledger/*.cpp)
add_executable(ledger_tests ${BW_LEDGER_TEST_SOURCES})
target_include_directories(ledger_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(ledger_tests PRIVATE bw_cli bw_ledger GTest::gtest_main GTest::gmock)

# Sends a program a console event (Ctrl-Break, close, logoff, shutdown), for
# scripts/wine-smoke.sh.
add_executable(console_event ${CMAKE_CURRENT_LIST_DIR}/tools/console_event.cpp)
target_link_options(console_event PRIVATE -static -municode -s)

# The tests need no debug information of their own (the libraries keep theirs for the
# exe): compiled without, linked stripped, which saves time and disk.
foreach(target core_tests ledger_tests console_event gtest gtest_main gmock)
  target_compile_options(${target} PRIVATE -g0)
endforeach()
foreach(program core_tests ledger_tests)
  target_link_options(${program} PRIVATE -static -s)
  add_test(NAME ${program}_windows COMMAND ${program} --gtest_brief=1)
  set_tests_properties(${program}_windows PROPERTIES LABELS windows TIMEOUT 900
    ENVIRONMENT "WINEPREFIX=${BW_WINE_PREFIX};BINWRIGHT_PG_STATE=${BW_PG_STATE}")
endforeach()
set_tests_properties(core_tests_windows PROPERTIES FIXTURES_REQUIRED wine)
set_tests_properties(ledger_tests_windows PROPERTIES FIXTURES_REQUIRED "wine;pg")

# The Windows views on real windows: they need a display, so scripts/wine-gui-smoke.sh runs
# them under Xvfb (with --gallery NAME it shows one view in a state to photograph).
if(TARGET bw_winapp)
  file(GLOB BW_WINAPP_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../winapp/*.cpp)
  # With the program's pictures (the loading animation's frames are counted).
  add_executable(winapp_tests ${BW_WINAPP_TEST_SOURCES} ${CMAKE_BINARY_DIR}/windows/winapp.rc)
  target_include_directories(winapp_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(winapp_tests PRIVATE bw_winapp GTest::gtest)
  target_compile_options(winapp_tests PRIVATE -g0)
  target_link_options(winapp_tests PRIVATE -static -s)
  # What needs no window runs with the other Windows tests.
  add_test(NAME winapp_tests_windows COMMAND winapp_tests
    --gtest_filter=GuiOptions*:DialogFilter* --gtest_brief=1)
  set_tests_properties(winapp_tests_windows PROPERTIES LABELS windows FIXTURES_REQUIRED wine
    TIMEOUT 300 ENVIRONMENT "WINEPREFIX=${BW_WINE_PREFIX}")
endif()
