# What makes Orvex a desktop application once installed: the manual page, the launcher,
# its icon in the hicolor theme at the usual sizes, and the AppStream metainfo.
set(ORVEX_APP_ID org.orvex.Orvex)

configure_file(docs/orvex.1.in "${CMAKE_BINARY_DIR}/orvex.1" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/orvex.1" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES data/${ORVEX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${ORVEX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(icon_source "${CMAKE_SOURCE_DIR}/resources/pictures/orvex.svg")
install(FILES "${icon_source}" RENAME ${ORVEX_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icons)
foreach(size 16 24 32 48 64 128 256 512)
  set(icon "${CMAKE_BINARY_DIR}/icons/${size}x${size}/${ORVEX_APP_ID}.png")
  add_custom_command(OUTPUT "${icon}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/icons/${size}x${size}"
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} "${icon_source}" -o "${icon}"
    DEPENDS "${icon_source}" VERBATIM)
  install(FILES "${icon}" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  list(APPEND icons "${icon}")
endforeach()
add_custom_target(icons ALL DEPENDS ${icons})
