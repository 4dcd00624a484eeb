# Version resource and application manifest of the shipped programs.
#
# Every program gets a VERSIONINFO block and an embedded manifest (resource
# id 1, type RT_MANIFEST) compiled with windres. Company, product and version
# come from here and from project(VERSION) only, so one edit of the top-level
# CMakeLists.txt changes every program at once.

set(NORVALE_COMPANY_NAME "Norvale")
set(NORVALE_PRODUCT_NAME "Norvale")
set(NORVALE_COPYRIGHT "Copyright (C) Norvale")

set(NORVALE_RESOURCE_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})
set(NORVALE_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)

# Windows wants four numbers; project(VERSION) may give fewer.
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    set(NORVALE_VERSION_${part} 0)
  else()
    set(NORVALE_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(NORVALE_VERSION_COMMAS
    "${NORVALE_VERSION_MAJOR},${NORVALE_VERSION_MINOR},${NORVALE_VERSION_PATCH},${NORVALE_VERSION_TWEAK}")
set(NORVALE_VERSION_DOTS
    "${NORVALE_VERSION_MAJOR}.${NORVALE_VERSION_MINOR}.${NORVALE_VERSION_PATCH}.${NORVALE_VERSION_TWEAK}")

# The manifest names the processor the program is built for; a wrong one
# makes Windows refuse to start the program.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
  set(NORVALE_MANIFEST_ARCH amd64)
else()
  set(NORVALE_MANIFEST_ARCH x86)
endif()

# norvale_program_resources(target "File description")
# Compiles the target's resource script and links it into the program. A
# target that is not part of this build is passed over.
function(norvale_program_resources target description)
  if(NOT TARGET ${target})
    return()
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(NORVALE_FILE_DESCRIPTION "${description}")
  set(NORVALE_INTERNAL_NAME "${output_name}")
  set(NORVALE_ORIGINAL_FILENAME "${output_name}.exe")
  # Assembly names allow letters, digits, dots and hyphens only.
  string(REGEX REPLACE "[^A-Za-z0-9.-]" "" NORVALE_ASSEMBLY_NAME "${output_name}")

  set(manifest ${NORVALE_RESOURCE_DIR}/${target}.manifest)
  set(script ${NORVALE_RESOURCE_DIR}/${target}.rc)
  set(object ${NORVALE_RESOURCE_DIR}/${target}.res.obj)
  set(NORVALE_MANIFEST_FILE ${manifest})
  configure_file(${NORVALE_RESOURCE_TEMPLATES}/program.manifest.in ${manifest} @ONLY)
  configure_file(${NORVALE_RESOURCE_TEMPLATES}/version.rc.in ${script} @ONLY)

  # windres is run directly: the compile options of the C++ code (-Wall
  # and the like) mean nothing to it.
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff
            ${script} ${object}
    DEPENDS ${script} ${manifest}
    COMMENT "Compiling the version resource and manifest of ${output_name}.exe"
    VERBATIM)
  add_custom_target(${target}_resources DEPENDS ${object})
  add_dependencies(${target} ${target}_resources)
  target_link_libraries(${target} PRIVATE ${object})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${object})
endfunction()
