# What "cmake --install" and the Debian package put where.
#
# The programs stay together in libexec/tolvane with their data folder
# definition (UserData.ini) and apData beside them: the program finds both
# beside its own real path, so the commands in bin are links to them. The
# desktop entry, icons, AppStream metadata, manual pages and the package's own
# documents go to their usual places under share.
include(GNUInstallDirs)

set(TOLVANE_LIBEXEC ${CMAKE_INSTALL_LIBEXECDIR}/tolvane)
install(TARGETS tolvane RUNTIME DESTINATION ${TOLVANE_LIBEXEC})
install(DIRECTORY assets/apData DESTINATION ${TOLVANE_LIBEXEC} PATTERN .keep EXCLUDE)
install(FILES assets/UserData.ini DESTINATION ${TOLVANE_LIBEXEC})
# The help pages go to the data folder; the program finds them from its own
# folder (TOLVANE_HELP_FROM_PROGRAM), whatever the prefix.
install(DIRECTORY assets/help/ DESTINATION ${TOLVANE_HELP_INSTALL_DIR})

# bin/tolvane and bin/tolvane-batch: relative links into libexec.
file(RELATIVE_PATH TOLVANE_LINK_UP /${CMAKE_INSTALL_BINDIR} /${TOLVANE_LIBEXEC})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-links)
foreach(program tolvane tolvane-batch)
  file(CREATE_LINK ${TOLVANE_LINK_UP}/${program} ${CMAKE_BINARY_DIR}/bin-links/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/bin-links/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The desktop entry names the command by its installed path (known at install
# time, "cmake --install --prefix" included).
install(CODE "set(TOLVANE_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tolvane\")
  configure_file(\"${CMAKE_SOURCE_DIR}/assets/tolvane.desktop\" \"${CMAKE_BINARY_DIR}/tolvane.desktop\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/tolvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES assets/hicolor/${size}x${size}/tolvane.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES assets/hicolor/scalable/tolvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/com.example.quillon.Tolvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog, compressed as Debian wants them (no time
# stamp in the gzip header, so the same sources give the same bytes).
set(TOLVANE_DOC_OUT ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/changelog.in ${TOLVANE_DOC_OUT}/changelog @ONLY)
set(TOLVANE_GZ)
foreach(page tolvane.1 tolvane-batch.1 ja/tolvane.1 ja/tolvane-batch.1 changelog)
  if(page STREQUAL "changelog")
    set(source ${TOLVANE_DOC_OUT}/changelog)
  else()
    set(source ${CMAKE_SOURCE_DIR}/packaging/man/${page})
  endif()
  set(target ${TOLVANE_DOC_OUT}/gz/${page}.gz)
  get_filename_component(target_dir ${target} DIRECTORY)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${target_dir}
    COMMAND gzip -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
  list(APPEND TOLVANE_GZ ${target})
endforeach()
add_custom_target(tolvane_docs ALL DEPENDS ${TOLVANE_GZ})
install(FILES ${TOLVANE_DOC_OUT}/gz/tolvane.1.gz ${TOLVANE_DOC_OUT}/gz/tolvane-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TOLVANE_DOC_OUT}/gz/ja/tolvane.1.gz ${TOLVANE_DOC_OUT}/gz/ja/tolvane-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(FILES packaging/copyright ${TOLVANE_DOC_OUT}/gz/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
