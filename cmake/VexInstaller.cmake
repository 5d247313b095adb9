# vexupd_add_installer(NAME PACKAGE zip)
# Makes the installer NAME that carries the update package zip: on Windows a
# build of vexupd with the package as RCDATA resource APPEXE, elsewhere a copy
# of the vexupd program with the package appended by vexpack (in the folder
# installers/). The installer's path is the target property
# VEXUPD_INSTALLER_FILE.
function(vexupd_add_installer name)
  cmake_parse_arguments(ARG "" "PACKAGE" "" ${ARGN})
  if(NOT ARG_PACKAGE)
    message(FATAL_ERROR "vexupd_add_installer(${name}): PACKAGE is required")
  endif()
  get_filename_component(package ${ARG_PACKAGE} ABSOLUTE)
  if(WIN32)
    get_property(entry GLOBAL PROPERTY VEXUPD_ENTRY_SOURCE)
    get_property(libraries GLOBAL PROPERTY VEXUPD_LIBRARIES)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
    file(CONFIGURE OUTPUT ${rc} CONTENT "APPEXE RCDATA \"${package}\"\n")
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${package})
    add_executable(${name} WIN32 ${entry} ${rc})
    target_link_libraries(${name} PRIVATE ${libraries})
    vex_windows_resources(${name} LEVEL requireAdministrator DESCRIPTION "Update installer")
    set_target_properties(${name} PROPERTIES VEXUPD_INSTALLER_FILE
                          ${CMAKE_CURRENT_BINARY_DIR}/${name}${CMAKE_EXECUTABLE_SUFFIX})
  else()
    # In a folder of its own: Ninja already names the target's phony rule
    # after <binary dir>/<name>.
    set(installer ${CMAKE_CURRENT_BINARY_DIR}/installers/${name})
    add_custom_command(
      OUTPUT ${installer}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/installers
      COMMAND vexpack --stub $<TARGET_FILE:vexupd> --package ${package} -o ${installer}
      DEPENDS vexupd vexpack ${package}
      COMMENT "Packing installer ${name}"
      VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${installer})
    set_target_properties(${name} PROPERTIES VEXUPD_INSTALLER_FILE ${installer})
  endif()
endfunction()
