# What the build makes of data/ and where everything is installed, under
# CMAKE_INSTALL_PREFIX and DESTDIR as given (GNUInstallDirs: bin, share/...).
# Included from the top directory, so that the window's library can take the
# icons rendered here as resources.

set(SHELVO_APP_ID com.brenwick.shelvo)
# Debian's zsh looks in share/zsh/vendor-completions for packaged completions;
# zsh's own default for a prefix is share/zsh/site-functions.
set(SHELVO_ZSH_COMPLETION_DIR "${CMAKE_INSTALL_DATADIR}/zsh/site-functions"
    CACHE STRING "Where the zsh completion goes, relative to the prefix")

install(TARGETS shelvo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages are written as man source and installed compressed, as man-db reads them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_pages shelvo-cli.1)
if(TARGET shelvo)
  list(APPEND man_pages shelvo.1)
endif()
set(compressed_man_pages)
foreach(page ${man_pages})
  set(compressed ${PROJECT_BINARY_DIR}/data/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/man/${page} > ${compressed}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/${page}
    VERBATIM)
  list(APPEND compressed_man_pages ${compressed})
endforeach()
install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/completion/shelvo-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME shelvo-cli)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/completion/_shelvo-cli DESTINATION ${SHELVO_ZSH_COMPLETION_DIR})

set(data_outputs ${compressed_man_pages})

if(TARGET shelvo)
  install(TARGETS shelvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The icon is drawn as SVG; the sizes an icon theme looks for first are
  # rendered from it, for the theme and for the window itself.
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(icon_source ${CMAKE_CURRENT_LIST_DIR}/icons/shelvo.svg)
  set(icon_dir ${PROJECT_BINARY_DIR}/data/icons)
  set(icon_pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${icon_dir}/${size}x${size}/shelvo.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon_source}
      DEPENDS ${icon_source}
      VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  qt_add_resources(shelvo_window shelvo_icons PREFIX /icons BASE ${icon_dir} FILES ${icon_pngs})
  list(APPEND data_outputs ${icon_pngs})

  install(FILES ${CMAKE_CURRENT_LIST_DIR}/${SHELVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The window names its desktop entry, so that a Wayland compositor finds its icon and name.
  target_compile_definitions(shelvo_window PRIVATE SHELVO_APP_ID="${SHELVO_APP_ID}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${SHELVO_APP_ID}.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/data/${SHELVO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/data/${SHELVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Built with the programs, so that an install right after a build finds them.
add_custom_target(shelvo-data ALL DEPENDS ${data_outputs})
