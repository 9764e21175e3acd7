# Native build: portable core with sanitizers, unit tests, fuzz targets, tools.
option(LUM_SANITIZE "Build with AddressSanitizer and UBSan" ON)
option(LUM_FUZZ "Build libFuzzer targets (needs clang)" OFF)

find_package(PkgConfig REQUIRED)
pkg_check_modules(LZMA REQUIRED IMPORTED_TARGET liblzma)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
pkg_check_modules(THRIFT REQUIRED IMPORTED_TARGET thrift)

set(LUM_WARNINGS -Wall -Wextra -Wno-unused-parameter)
if(LUM_SANITIZE AND NOT LUM_FUZZ)
  set(LUM_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
endif()

add_library(lumcore STATIC ${LUM_PORTABLE_SOURCES})
target_include_directories(lumcore PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(lumcore PRIVATE ${LUM_WARNINGS} ${LUM_SAN_FLAGS})
target_link_options(lumcore PUBLIC ${LUM_SAN_FLAGS})
target_link_libraries(lumcore PUBLIC PkgConfig::LZMA OpenSSL::Crypto PkgConfig::SODIUM ZLIB::ZLIB)
target_compile_options(lumcore PUBLIC ${LUM_SAN_FLAGS})

if(LUM_FUZZ)
  # A fuzz build holds only the fuzz targets, all instrumented alike.
  target_compile_options(lumcore PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(lumcore PUBLIC -fsanitize=address,undefined)
  file(GLOB LUM_FUZZERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
  foreach(src ${LUM_FUZZERS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE lumcore)
  endforeach()
  return()
endif()

# Build tools that make the installer's resources: tools/<name>.cpp -> <name>.
file(GLOB LUM_TOOL_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*.cpp)
foreach(src ${LUM_TOOL_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE lumcore)
  target_compile_options(${name} PRIVATE ${LUM_WARNINGS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  list(APPEND lum_tool_targets ${name})
endforeach()
# What the Windows builds need of this one (the demo builds nothing else here).
add_custom_target(lum_host_tools DEPENDS ${lum_tool_targets})

enable_testing()
file(GLOB LUM_HOST_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/host/*.cpp)
if(LUM_HOST_TESTS)
  # The tray interfaces' wire layout is checked against the host's Thrift.
  include(cmake/ztray.cmake)
  target_compile_options(lum_ztray PRIVATE ${LUM_SAN_FLAGS})
  target_link_libraries(lum_ztray PUBLIC PkgConfig::THRIFT)
  add_executable(lum_host_tests ${LUM_HOST_TESTS})
  target_link_libraries(lum_host_tests PRIVATE lumcore lum_ztray GTest::gtest GTest::gtest_main)
  target_compile_options(lum_host_tests PRIVATE ${LUM_WARNINGS})
  target_compile_definitions(lum_host_tests PRIVATE LUM_TOOLS_DIR="${CMAKE_BINARY_DIR}/tools"
    LUM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # Some tests run the build tools, which must exist first.
  foreach(tool ${LUM_TOOL_SOURCES})
    get_filename_component(name ${tool} NAME_WE)
    add_dependencies(lum_host_tests ${name})
  endforeach()
  include(GoogleTest)
  gtest_discover_tests(lum_host_tests DISCOVERY_TIMEOUT 60)
endif()

# Benchmark: "amzl" unpacking against raw liblzma (figures only; see bench/).
add_executable(amzl_bench ${PROJECT_SOURCE_DIR}/bench/amzl_bench.cpp)
target_link_libraries(amzl_bench PRIVATE lumcore)
target_compile_options(amzl_bench PRIVATE ${LUM_WARNINGS})

# How dev chooses the Wine route, on stand-ins for the hosts this one is not.
add_test(NAME wine_route COMMAND ${PROJECT_SOURCE_DIR}/tests/host/wine_route_test.sh)
add_test(NAME check_layers COMMAND ${PROJECT_SOURCE_DIR}/tests/host/check_layers_test.sh)
add_test(NAME check_imports COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/host/check_imports_test.py)
