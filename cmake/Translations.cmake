# Each po/<lang>.po becomes locale/<lang>/LC_MESSAGES/orvex.mo in the build tree (where a
# program run from the build finds it) and in the installed resources.
find_program(MSGFMT msgfmt REQUIRED)
file(GLOB catalogues CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/po/*.po")
set(compiled)
foreach(po IN LISTS catalogues)
  get_filename_component(lang "${po}" NAME_WE)
  set(mo "${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES/orvex.mo")
  add_custom_command(OUTPUT "${mo}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES"
    COMMAND ${MSGFMT} --check --output-file "${mo}" "${po}"
    DEPENDS "${po}" VERBATIM)
  install(FILES "${mo}" DESTINATION "${CMAKE_INSTALL_DATADIR}/orvex/locale/${lang}/LC_MESSAGES")
  list(APPEND compiled "${mo}")
endforeach()
add_custom_target(translations ALL DEPENDS ${compiled})
add_dependencies(orvex translations)
