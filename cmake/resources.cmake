# Makes every resource the installer carries and the .rc that binds them.
# The host tools come from the host build (LUM_HOST_TOOLS).
set(T ${LUM_HOST_TOOLS})
set(R ${PROJECT_SOURCE_DIR}/resources)

# FILE 502 and 503: UTF-8 sources converted to UTF-16LE with validation.
# The table names the statistics error page, whose host is build configuration.
configure_file(${R}/language.ini ${LUM_GEN}/language.ini @ONLY)
add_custom_command(OUTPUT ${LUM_GEN}/language.u16.ini
  COMMAND ${T}/ini_convert --bom --require default,en ${LUM_GEN}/language.ini ${LUM_GEN}/language.u16.ini
  COMMAND ${T}/lang_check ${LUM_GEN}/language.ini
  DEPENDS ${LUM_GEN}/language.ini ${T}/ini_convert ${T}/lang_check COMMENT "Language table (FILE 502)")
add_custom_command(OUTPUT ${LUM_GEN}/actions.u16.ini
  COMMAND ${T}/ini_convert --bom ${R}/actions.ini ${LUM_GEN}/actions.u16.ini
  DEPENDS ${R}/actions.ini ${T}/ini_convert COMMENT "Action script (FILE 503)")

# FILE 505: the component manifest, from the stand-in product's file list.
set(LUM_FILES_LST ${PROJECT_SOURCE_DIR}/product/payload/files.lst)
add_custom_command(OUTPUT ${LUM_GEN}/manifest.u16.ini
  COMMAND ${T}/manifest_gen --tree ${PROJECT_SOURCE_DIR}/product/payload/tree ${LUM_FILES_LST} ${LUM_GEN}/manifest.ini
  COMMAND ${T}/ini_convert --bom ${LUM_GEN}/manifest.ini ${LUM_GEN}/manifest.u16.ini
  DEPENDS ${LUM_FILES_LST} ${T}/manifest_gen ${T}/ini_convert COMMENT "Component manifest (FILE 505)")

# FILE 504: the base module in an "amzl" container (signed first, so that the
# module itself is a trusted image wherever it is written).
add_custom_command(OUTPUT ${LUM_GEN}/lumbase.amzl
  COMMAND ${T}/lum_sign sign ${LUM_SIGN_KEY} $<TARGET_FILE:Lumbase>
  COMMAND ${T}/amzl_pack $<TARGET_FILE:Lumbase> ${LUM_GEN}/lumbase.amzl
  DEPENDS Lumbase ${T}/amzl_pack COMMENT "Base module container (FILE 504)")

# FILE 500: the archive library (cross-built with the other dependencies) in
# an "amzl" container.
add_custom_command(OUTPUT ${LUM_GEN}/archive_library.amzl
  COMMAND ${T}/amzl_pack ${LUM_DEPS_PREFIX}/bin/7z.dll ${LUM_GEN}/archive_library.amzl
  DEPENDS ${LUM_DEPS_PREFIX}/bin/7z.dll ${T}/amzl_pack COMMENT "Archive library container (FILE 500)")

# FILE 501: the product's files as a 7z archive: the static tree plus the
# built programs and modules (LUM_PAYLOAD_BUILT, "target|path[|file]" from product/),
# staged under the build folder. LUM_PAYLOAD_PAD_MB adds filler for benchmarks.
set(LUM_PAYLOAD_PAD_MB 0 CACHE STRING "Pad the product archive to about this many MB (0: no filler)")
file(GLOB_RECURSE LUM_PAYLOAD_TREE CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/product/payload/tree/*)
get_property(lum_payload_built GLOBAL PROPERTY LUM_PAYLOAD_BUILT)
set(lum_payload_args "")
set(lum_payload_targets "")
foreach(entry ${lum_payload_built})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 tgt)
  list(GET parts 1 rel)
  list(LENGTH parts nparts)
  if(nparts GREATER 2)
    list(GET parts 2 built_file)
  else()
    set(built_file "$<TARGET_FILE:${tgt}>")
  endif()
  list(APPEND lum_payload_args "${built_file}=${rel}")
  list(APPEND lum_payload_targets ${tgt})
endforeach()
add_custom_command(OUTPUT ${LUM_GEN}/payload.7z
  COMMAND ${PROJECT_SOURCE_DIR}/tools/make_payload_archive.sh --stage ${CMAKE_BINARY_DIR}/payload_stage
    --pad-mb ${LUM_PAYLOAD_PAD_MB} --files-lst ${PROJECT_SOURCE_DIR}/product/payload/files.lst
    ${PROJECT_SOURCE_DIR}/product/payload/tree ${LUM_GEN}/payload.7z ${lum_payload_args}
  DEPENDS ${LUM_PAYLOAD_TREE} ${PROJECT_SOURCE_DIR}/tools/make_payload_archive.sh
    ${PROJECT_SOURCE_DIR}/product/payload/files.lst ${lum_payload_targets}
  COMMENT "Product archive (FILE 501)")

# PNG skin images.
add_custom_command(OUTPUT ${LUM_GEN}/skin.rc
  COMMAND ${T}/skin_gen ${LUM_GEN}/skin ${LUM_GEN}/skin.rc
  DEPENDS ${T}/skin_gen COMMENT "Skin images")

set(LUM_RESOURCE_FILES ${LUM_GEN}/language.u16.ini ${LUM_GEN}/actions.u16.ini
  ${LUM_GEN}/manifest.u16.ini ${LUM_GEN}/lumbase.amzl ${LUM_GEN}/archive_library.amzl
  ${LUM_GEN}/payload.7z ${LUM_GEN}/skin.rc)
add_custom_target(lum_resources DEPENDS ${LUM_RESOURCE_FILES} EEMarker)

configure_file(${R}/installer.rc.in ${LUM_GEN}/installer.rc @ONLY)
set(LUM_INSTALLER_RC ${LUM_GEN}/installer.rc)
set_source_files_properties(${LUM_INSTALLER_RC} PROPERTIES
  OBJECT_DEPENDS "${LUM_RESOURCE_FILES};${CMAKE_BINARY_DIR}/product/EEMarker.dll")
