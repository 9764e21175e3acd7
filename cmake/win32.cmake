# Cross build for Windows: the installer, the stand-in product modules, and the
# Win32 tests that CTest runs under Wine. The installer that ships is the
# 32-bit build (cmake/mingw-i686.cmake); the 64-bit build (mingw-x86_64.cmake)
# runs the same tests on hosts that run no 32-bit code.
if(NOT LUM_DEPS_PREFIX)
  message(FATAL_ERROR "LUM_DEPS_PREFIX (from tools/deps/win32-deps.sh) is required")
endif()
if(NOT LUM_HOST_TOOLS)
  message(FATAL_ERROR "LUM_HOST_TOOLS (the host build's tools folder) is required")
endif()

set(LUM_GEN ${CMAKE_BINARY_DIR}/gen)
file(MAKE_DIRECTORY ${LUM_GEN})
set(LUM_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type -Wno-missing-field-initializers)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 LZMA_API_STATIC SODIUM_STATIC)
# No libstdc++, libgcc or winpthread DLL may be needed next to our programs.
add_link_options(-static -static-libgcc -static-libstdc++)

add_library(lumdeps INTERFACE)
target_include_directories(lumdeps INTERFACE ${LUM_DEPS_PREFIX}/include)
target_link_libraries(lumdeps INTERFACE
  ${LUM_DEPS_PREFIX}/lib/liblzma.a ${LUM_DEPS_PREFIX}/lib/libsodium.a
  ${CMAKE_FIND_ROOT_PATH}/lib/libz.a ws2_32 crypt32 bcrypt)

# Thrift for the tray link: static, with the prefix's folder of case-fixing
# header links and Boost headers that its installed headers need.
include(cmake/ztray.cmake)
target_include_directories(lum_ztray SYSTEM PUBLIC ${LUM_DEPS_PREFIX}/include
  ${LUM_DEPS_PREFIX}/include/compat)
target_compile_definitions(lum_ztray PUBLIC THRIFT_STATIC_DEFINE)
target_link_libraries(lum_ztray PUBLIC ${LUM_DEPS_PREFIX}/lib/libthrift.a ws2_32 shlwapi advapi32)

# The installer is downloaded: its own code is built for size, one section per
# function and datum, so that its links keep only what something calls. The
# extraction's hot loops are in the libraries of tools/deps, which keep -O2.
set(LUM_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
set(LUM_SIZE_LINK -Wl,--gc-sections)
target_compile_options(lum_ztray PRIVATE ${LUM_SIZE_FLAGS})

# The core's digests and cipher come from the system here (OpenSSL's on the host).
list(FILTER LUM_WIN_SOURCES EXCLUDE REGEX "/base/crypto_win\\.cpp$")
# The import slots of functions older Windows lacks: an object of the program
# itself, so that they are defined before any import library is searched.
set(LUM_IMPORT_SLOTS ${PROJECT_SOURCE_DIR}/base/import_slots_win.cpp)
list(FILTER LUM_WIN_SOURCES EXCLUDE REGEX "/base/import_slots_win\\.cpp$")
add_library(lumcore STATIC ${LUM_PORTABLE_SOURCES} ${PROJECT_SOURCE_DIR}/base/crypto_win.cpp)
target_include_directories(lumcore PUBLIC ${PROJECT_SOURCE_DIR} ${LUM_GEN})
target_compile_options(lumcore PRIVATE ${LUM_WARNINGS} ${LUM_SIZE_FLAGS})
target_link_libraries(lumcore PUBLIC lumdeps)

add_library(lumwin STATIC ${LUM_WIN_SOURCES})
target_compile_options(lumwin PRIVATE ${LUM_WARNINGS} ${LUM_SIZE_FLAGS})
target_link_libraries(lumwin PUBLIC lumcore lum_ztray shlwapi shell32 ole32 oleaut32 advapi32 user32 gdi32
  comctl32 version imm32 userenv ntdll uuid wininet crypt32)

# --- signing key: generated once per build folder; the base module pins it ---
set(LUM_SIGN_KEY ${CMAKE_BINARY_DIR}/keys/image-signing.key)
set(LUM_TRUST_HEADER ${LUM_GEN}/lum_trust_key.h)
add_custom_command(OUTPUT ${LUM_TRUST_HEADER}
  COMMAND ${LUM_HOST_TOOLS}/lum_sign keygen ${LUM_SIGN_KEY} ${LUM_TRUST_HEADER}
  COMMENT "Signing key for trusted images")
add_custom_target(lum_trust_key DEPENDS ${LUM_TRUST_HEADER})

function(lum_sign_target target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${LUM_HOST_TOOLS}/lum_sign sign ${LUM_SIGN_KEY} $<TARGET_FILE:${target}>
    COMMENT "Signing ${target}")
  add_dependencies(${target} lum_trust_key)
endfunction()

# --- statistics service: endpoints and keys are build configuration ---
# Every endpoint defaults to the loopback address, where only the project's own
# test server (tests/report_server) listens; a build meant for the real service
# sets these. Nothing is sent elsewhere unless a build asks for it.
set(LUM_REPORT_PORT 18611 CACHE STRING "Port of the loopback report server of the tests and the demo")
set(LUM_REPORT_HOST "http://127.0.0.1:${LUM_REPORT_PORT}/" CACHE STRING "Host of every statistics endpoint")
set(LUM_STATS_BASE "${LUM_REPORT_HOST}safei18n/" CACHE STRING "Statistics base (reports, error page)")
set(LUM_CHANNEL_HOST "${LUM_REPORT_HOST}" CACHE STRING "Channel report host")
set(LUM_OFFER_HOST "${LUM_REPORT_HOST}" CACHE STRING "Offer server host")
configure_file(${PROJECT_SOURCE_DIR}/cmake/report_endpoints.h.in ${LUM_GEN}/lum_report_endpoints.h @ONLY)
set(LUM_REPORT_KEYS ${CMAKE_BINARY_DIR}/keys/report-service.keys)
set(LUM_REPORT_KEYS_HEADER ${LUM_GEN}/lum_report_keys.h)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/keys)
add_custom_command(OUTPUT ${LUM_REPORT_KEYS_HEADER}
  COMMAND ${LUM_HOST_TOOLS}/report_open keygen ${LUM_REPORT_KEYS} ${LUM_REPORT_KEYS_HEADER}
  COMMENT "Statistics service keys")
add_custom_target(lum_report_keys DEPENDS ${LUM_REPORT_KEYS_HEADER})
add_dependencies(lumwin lum_report_keys)

add_subdirectory(product)
include(cmake/resources.cmake)

add_executable(LumBastionSetup WIN32 ${PROJECT_SOURCE_DIR}/app/main_win.cpp
  ${PROJECT_SOURCE_DIR}/app/quiet_terminate_win.cpp ${LUM_IMPORT_SLOTS} ${LUM_INSTALLER_RC})
target_link_libraries(LumBastionSetup PRIVATE lumwin)
# The link map feeds the size breakdown of ./dev bench (bench/size_breakdown.py).
target_link_options(LumBastionSetup PRIVATE -municode -s ${LUM_SIZE_LINK}
  -Wl,-Map=${CMAKE_BINARY_DIR}/LumBastionSetup.map)
target_compile_options(LumBastionSetup PRIVATE ${LUM_WARNINGS} ${LUM_SIZE_FLAGS})
set_target_properties(LumBastionSetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(LumBastionSetup lum_resources)
lum_sign_target(LumBastionSetup)

# --- tests under Wine ---
enable_testing()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/wine/wine-run.sh)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB LUM_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp)
if(LUM_WIN_TESTS)
  # The crypto primitives' vectors also run here, against the system's library.
  add_executable(lum_win_tests ${LUM_WIN_TESTS} ${LUM_INSTALLER_RC}
    ${PROJECT_SOURCE_DIR}/tests/win32/test_resources.rc
    ${PROJECT_SOURCE_DIR}/tests/host/crypto_primitives_test.cpp)
  target_link_libraries(lum_win_tests PRIVATE lumwin gtest gtest_main)
  target_compile_options(lum_win_tests PRIVATE ${LUM_WARNINGS})
  add_dependencies(lum_win_tests lum_resources)
  lum_sign_target(lum_win_tests)
  add_test(NAME win32_units COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lum_win_tests>)
  # The writers' behaviour on a full disk, on a small filesystem of their own.
  add_test(NAME win32_full_disk COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/small-disk.sh 512
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lum_win_tests> --gtest_filter=*FullDisk*)
endif()

# End-to-end tests: one program per file, each run in a fresh prefix, so that
# what one file installs never decides what another file's tests see.
file(GLOB LUM_E2E_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/*_test.cpp)
# Windows paths (Wine maps / to Z:\), so the tests need no conversion.
string(REPLACE "/" "\\" lum_build_win "Z:${CMAKE_BINARY_DIR}")
foreach(src ${LUM_E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE lumwin gtest gtest_main psapi)
  target_compile_options(${name} PRIVATE ${LUM_WARNINGS})
  add_dependencies(${name} LumBastionSetup)
  add_test(NAME e2e_${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  set_tests_properties(e2e_${name} PROPERTIES TIMEOUT 900
    ENVIRONMENT "LUM_INSTALLER=${lum_build_win}\\LumBastionSetup.exe;LUM_BUILD_DIR=${lum_build_win}")
endforeach()
# What the planting test copies beside the installer under the names of the
# libraries it uses: a DLL that leaves a marker file when loaded.
add_library(lum_planted_dll SHARED ${PROJECT_SOURCE_DIR}/tests/e2e/planted_dll/planted_dll.cpp)
set_target_properties(lum_planted_dll PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(dll_planting_e2e_test lum_planted_dll)
set_tests_properties(e2e_dll_planting_e2e_test PROPERTIES ENVIRONMENT
  "LUM_INSTALLER=${lum_build_win}\\LumBastionSetup.exe;LUM_BUILD_DIR=${lum_build_win};LUM_DLL_OVERRIDES=comctl32,wininet,crypt32,bcrypt,userenv,gdiplus,wintrust,netapi32,psapi,uxtheme,dwmapi,winhttp,iphlpapi,secur32,msimg32,dbghelp,mpr,winmm,propsys,windowscodecs,cabinet,dnsapi,mswsock,wsock32,wtsapi32=n,b")
# The reinstall over an earlier build of the product's file module.
add_dependencies(services_e2e_test BAPI_previous)
# The module the swap tests plant where no code may be loaded from: it leaves
# a marker when anything loads it. Unsigned, so the base module never vouches.
add_library(lum_planted_module SHARED ${PROJECT_SOURCE_DIR}/tests/e2e/planted/planted_module.cpp)
set_target_properties(lum_planted_module PROPERTIES PREFIX "" OUTPUT_NAME planted_module
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(swap_e2e_test lum_planted_module)
add_dependencies(scan_engine_e2e_test lum_planted_module)
# Both ends of the tray link derive their pipe names from this serial.
set_tests_properties(e2e_tray_link_e2e_test PROPERTIES ENVIRONMENT
  "LUM_INSTALLER=${lum_build_win}\\LumBastionSetup.exe;LUM_BUILD_DIR=${lum_build_win};LUM_WINE_SERIAL=1234abcd")

# Figures of the tray link against the stand-in tray service (bench/).
# Times any program's first window the same way (bench/install_bench.sh).
add_executable(first_window_bench ${PROJECT_SOURCE_DIR}/bench/first_window_bench.cpp)
target_link_options(first_window_bench PRIVATE -municode)
target_compile_options(first_window_bench PRIVATE ${LUM_WARNINGS})
add_executable(tray_link_bench ${PROJECT_SOURCE_DIR}/bench/tray_link_bench.cpp)
target_link_libraries(tray_link_bench PRIVATE lumwin)
target_link_options(tray_link_bench PRIVATE -municode)

# What the installer reports, checked by the loopback statistics and offer
# server (tests/report_server), which listens while this test runs.
# It carries the installer's resources: the damaged-file message is the
# skinned box, in the language table's texts.
add_executable(reports_served_e2e ${PROJECT_SOURCE_DIR}/tests/e2e/reports_served_e2e.cpp
  ${LUM_INSTALLER_RC})
target_link_libraries(reports_served_e2e PRIVATE lumwin gtest gtest_main psapi)
target_compile_options(reports_served_e2e PRIVATE ${LUM_WARNINGS})
target_compile_definitions(reports_served_e2e PRIVATE
  LUM_REPORT_CONTROL=L"http://127.0.0.1:${LUM_REPORT_PORT}/__control/")
add_dependencies(reports_served_e2e LumBastionSetup)
add_test(NAME e2e_reports_served
  COMMAND ${PROJECT_SOURCE_DIR}/tests/report_server/with_server.sh ${LUM_REPORT_PORT}
    ${LUM_REPORT_KEYS} ${LUM_HOST_TOOLS}/report_open ${CMAKE_BINARY_DIR}/report-server.jsonl --
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:reports_served_e2e>)
set_tests_properties(e2e_reports_served PROPERTIES TIMEOUT 900 RESOURCE_LOCK lum_report_port
  ENVIRONMENT "LUM_INSTALLER=${lum_build_win}\\LumBastionSetup.exe;LUM_BUILD_DIR=${lum_build_win}")

# Runs a program under Wine and prints its full exit code (demo, benchmarks).
add_executable(lum_exec ${PROJECT_SOURCE_DIR}/tests/wine/lum_exec.cpp)
target_link_libraries(lum_exec PRIVATE lumcore)
target_link_options(lum_exec PRIVATE -municode)
# Prints a registry key's rights as SDDL (demo).
add_executable(lum_sddl ${PROJECT_SOURCE_DIR}/tests/wine/lum_sddl.cpp)
target_link_options(lum_sddl PRIVATE -municode)

# Stand-in program that the process-termination tests start and end; it lands
# next to lum_win_tests.exe, where the tests look for it.
add_executable(lum_test_sleeper ${PROJECT_SOURCE_DIR}/tests/win32/sleeper/sleeper.cpp)
target_link_options(lum_test_sleeper PRIVATE -municode)
set_target_properties(lum_test_sleeper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(TARGET lum_win_tests)
  add_dependencies(lum_win_tests lum_test_sleeper ProductRepair)
endif()

# Stand-in browsers of the detection and launch tests, each under its
# browser's file name and version description, in build/browsers; firefox.exe
# also signed for "Mozilla Corporation" (signed/) and for another publisher
# (other/) with certificates made for the tests.
set(lum_browser_dir ${CMAKE_BINARY_DIR}/browsers)
set(lum_browser_stamps "")
foreach(entry "chrome|Google Chrome" "firefox|Firefox" "launcher|Opera Internet Browser"
    "browser|Yandex" "iexplore|Internet Explorer" "MicrosoftEdge|Microsoft Edge" "amigo|Amigo"
    "Lumse6|Lum Secure Browser 6" "Lumchrome|Lum Chrome" "MyBrowser|My Browser")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 lum_browser_name)
  list(GET parts 1 LUM_BROWSER_DESCRIPTION)
  set(LUM_BROWSER_FILE ${lum_browser_name}.exe)
  set(rc ${CMAKE_BINARY_DIR}/stand_in_browser_${lum_browser_name}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/tests/win32/stand_in_browser/version.rc.in ${rc} @ONLY)
  add_executable(lum_browser_${lum_browser_name} WIN32
    ${PROJECT_SOURCE_DIR}/tests/win32/stand_in_browser/stand_in_browser.cpp ${rc})
  target_link_options(lum_browser_${lum_browser_name} PRIVATE -municode -s)
  set_target_properties(lum_browser_${lum_browser_name} PROPERTIES OUTPUT_NAME ${lum_browser_name}
    RUNTIME_OUTPUT_DIRECTORY ${lum_browser_dir})
  if(TARGET lum_win_tests)
    add_dependencies(lum_win_tests lum_browser_${lum_browser_name})
  endif()
endforeach()
set(lum_sign_browser ${PROJECT_SOURCE_DIR}/tests/win32/stand_in_browser/sign_test_browser.sh)
add_custom_command(OUTPUT ${lum_browser_dir}/signed/firefox.exe ${lum_browser_dir}/other/firefox.exe
  COMMAND ${lum_sign_browser} ${CMAKE_BINARY_DIR}/keys/browsers "Mozilla Corporation"
    $<TARGET_FILE:lum_browser_firefox> ${lum_browser_dir}/signed/firefox.exe
  COMMAND ${lum_sign_browser} ${CMAKE_BINARY_DIR}/keys/browsers "Mozzarella Corporation"
    $<TARGET_FILE:lum_browser_firefox> ${lum_browser_dir}/other/firefox.exe
  DEPENDS lum_browser_firefox ${lum_sign_browser}
  COMMENT "Signing the stand-in firefox.exe")
add_custom_target(lum_signed_browsers DEPENDS ${lum_browser_dir}/signed/firefox.exe
  ${lum_browser_dir}/other/firefox.exe)
if(TARGET lum_win_tests)
  add_dependencies(lum_win_tests lum_signed_browsers SomProxy)
endif()

# UI language chosen from the system: Wine takes the user's UI language from
# the Unix locale, so each case runs the installer with its own LC_ALL.
foreach(lum_locale_case "ru_RU.UTF-8;ru" "ja_JP.UTF-8;ja")
  list(GET lum_locale_case 0 lum_locale)
  list(GET lum_locale_case 1 lum_code)
  add_test(NAME installer_language_${lum_code}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/system_locale_language.sh
      $<TARGET_FILE:LumBastionSetup> ${lum_locale} ${lum_code})
  set_tests_properties(installer_language_${lum_code} PROPERTIES TIMEOUT 300)
endforeach()

# Screenshots of the skinned message box and restart prompt (six languages,
# 96 and 144 DPI) under build/screenshots/, with the checks that can be
# measured in them.
add_executable(lum_skin_shots ${PROJECT_SOURCE_DIR}/tests/wine/skin_shots.cpp ${LUM_INSTALLER_RC})
target_link_libraries(lum_skin_shots PRIVATE lumwin)
target_link_options(lum_skin_shots PRIVATE -municode)
target_compile_options(lum_skin_shots PRIVATE ${LUM_WARNINGS})
add_dependencies(lum_skin_shots lum_resources)
add_test(NAME skin_screenshots
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/skin_screenshots.sh $<TARGET_FILE:lum_skin_shots>
    ${PROJECT_SOURCE_DIR}/build/screenshots)
set_tests_properties(skin_screenshots PROPERTIES TIMEOUT 600)

# The interactive install driven by clicks and keys on a display of its own,
# compared with a silent install of a second prefix.
add_executable(lum_interactive_driver ${PROJECT_SOURCE_DIR}/tests/e2e/interactive_driver.cpp)
target_link_libraries(lum_interactive_driver PRIVATE lumwin)
target_link_options(lum_interactive_driver PRIVATE -municode)
target_compile_options(lum_interactive_driver PRIVATE ${LUM_WARNINGS})
add_dependencies(lum_interactive_driver LumBastionSetup)
add_test(NAME e2e_interactive_install
  COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/interactive_install.sh $<TARGET_FILE:LumBastionSetup>
    $<TARGET_FILE:lum_interactive_driver> ${PROJECT_SOURCE_DIR}/build/screenshots)
set_tests_properties(e2e_interactive_install PROPERTIES TIMEOUT 1500
  ENVIRONMENT "LUM_INSTALLER=${lum_build_win}\\LumBastionSetup.exe")

# Figures of the time to the welcome page's first paint under Wine (bench/).
add_executable(first_paint_bench ${PROJECT_SOURCE_DIR}/bench/first_paint_bench.cpp ${LUM_INSTALLER_RC})
target_link_libraries(first_paint_bench PRIVATE lumwin)
target_link_options(first_paint_bench PRIVATE -municode)
target_compile_options(first_paint_bench PRIVATE ${LUM_WARNINGS})
add_dependencies(first_paint_bench lum_resources LumBastionSetup)
