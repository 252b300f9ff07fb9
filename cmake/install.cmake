# Installation. The player and the registration tool sit side by side in bin (the tool records
# the path of the player in its own folder); the system library and the image plug-ins go to the
# player's data folder, lib/zarvoplay; a desktop entry opens story files with the player. The
# player looks for its data beside itself first, then relative to itself, then at the
# configured place, so a build folder, a moved install and a normal install all work.
include(GNUInstallDirs)
set(ZARVO_INSTALL_DATA_DIR ${CMAKE_INSTALL_LIBDIR}/zarvoplay)
file(RELATIVE_PATH ZARVO_DATA_DIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${ZARVO_INSTALL_DATA_DIR})
foreach(program zarvoplay zarvoplay-thumbnailer)
  target_compile_definitions(${program} PRIVATE
    ZARVO_DATA_DIR_FROM_BIN="${ZARVO_DATA_DIR_FROM_BIN}"
    ZARVO_INSTALLED_DATA_DIR="${CMAKE_INSTALL_FULL_LIBDIR}/zarvoplay")
endforeach()

install(TARGETS zarvoplay zarvoplay_setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/zarvoplay.zvl DESTINATION ${ZARVO_INSTALL_DATA_DIR})
install(TARGETS jpeg_spi gif_spi LIBRARY DESTINATION ${ZARVO_INSTALL_DATA_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/app/zarvoplay.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/doc/zarvoplay.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
