# korva_man_page(PROGRAM SUMMARY COMPONENT [help2man options...])
# The manual page PROGRAM.1, made by help2man from the program's --help (no
# display needed) and the hand-written sections in PROGRAM.h2m beside the
# CMakeLists.txt that calls this; built by the target PROGRAM_man (dashes as
# underscores) and installed under man1 in COMPONENT.
function(korva_man_page program summary component)
  find_program(HELP2MAN help2man REQUIRED)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
  set(sections ${CMAKE_CURRENT_SOURCE_DIR}/${program}.h2m)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${HELP2MAN} --no-info ${ARGN} --version-string=${PROJECT_VERSION}
            --include=${sections} "--name=${summary}" --output=${page} $<TARGET_FILE:${program}>
    DEPENDS ${program} ${sections}
    COMMENT "Generating ${program}.1"
    VERBATIM)
  string(REPLACE "-" "_" target ${program})
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
