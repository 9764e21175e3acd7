# The tray service interfaces (tray/ztray.thrift), generated at build time by
# Debian's thrift compiler into <build>/gen/ztray and built as lum_ztray.
# The caller links lum_ztray to the Thrift C++ library of its platform. No
# stream printing of the messages: nothing prints them, and it would bring the
# standard library's whole stream and locale machinery into the installer.
find_program(LUM_THRIFT thrift REQUIRED)
set(LUM_ZTRAY_IDL ${PROJECT_SOURCE_DIR}/tray/ztray.thrift)
set(LUM_ZTRAY_DIR ${CMAKE_BINARY_DIR}/gen/ztray)
set(LUM_ZTRAY_SOURCES ${LUM_ZTRAY_DIR}/ZTrayService.cpp ${LUM_ZTRAY_DIR}/ZTrayClient.cpp
  ${LUM_ZTRAY_DIR}/ztray_types.cpp)
add_custom_command(
  OUTPUT ${LUM_ZTRAY_SOURCES} ${LUM_ZTRAY_DIR}/ZTrayService.h ${LUM_ZTRAY_DIR}/ZTrayClient.h
    ${LUM_ZTRAY_DIR}/ztray_types.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUM_ZTRAY_DIR}
  COMMAND ${LUM_THRIFT} --gen cpp:no_skeleton,no_ostream_operators -out ${LUM_ZTRAY_DIR} ${LUM_ZTRAY_IDL}
  DEPENDS ${LUM_ZTRAY_IDL}
  COMMENT "Generating the tray service interfaces")
add_library(lum_ztray STATIC ${LUM_ZTRAY_SOURCES})
target_include_directories(lum_ztray PUBLIC ${CMAKE_BINARY_DIR}/gen)
