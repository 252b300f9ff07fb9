# Installation. The programs sit side by side in bin (the registration tool records the path of
# the player in its own folder); the system library and the image plug-ins go to the player's
# data folder, lib/zarvoplay. The player looks for its data beside itself first, then relative
# to itself, then at the configured place, so a build folder, a moved install and a normal
# install all work. The desktop files make stories open from a file manager with previews.
include(GNUInstallDirs)
set(ZARVO_INSTALL_DATA_DIR ${CMAKE_INSTALL_LIBDIR}/zarvoplay)
file(RELATIVE_PATH ZARVO_DATA_DIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${ZARVO_INSTALL_DATA_DIR})
foreach(program zarvoplay zarvoplay-thumbnailer)
  target_compile_definitions(${program} PRIVATE
    ZARVO_DATA_DIR_FROM_BIN="${ZARVO_DATA_DIR_FROM_BIN}"
    ZARVO_INSTALLED_DATA_DIR="${CMAKE_INSTALL_FULL_LIBDIR}/zarvoplay")
endforeach()

# The AppStream id, and the web page the demo's screenshots are published under (the build makes
# them in build/screenshots). There is no such page yet: whoever publishes the package names
# theirs and its maintainer; without them the metadata and the package leave both out.
set(ZARVO_APPSTREAM_ID "org.zarvoplay.zarvoplay" CACHE STRING "AppStream component id")
set(ZARVO_WEB_HOME "" CACHE STRING
    "Home page, ending in /; the demo's screenshots are expected under its screenshots/")
set(ZARVO_MAINTAINER "" CACHE STRING "Maintainer of the Debian package: NAME <ADDRESS>")
# Whoever builds the package maintains it: by default the builder Debian's tools know
# (DEBFULLNAME, DEBEMAIL). Without any, the package names the developers with no address.
set(ZARVO_PACKAGE_MAINTAINER "${ZARVO_MAINTAINER}")
if(NOT ZARVO_PACKAGE_MAINTAINER AND DEFINED ENV{DEBEMAIL})
  set(ZARVO_PACKAGE_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
if(NOT ZARVO_PACKAGE_MAINTAINER)
  set(ZARVO_PACKAGE_MAINTAINER "zarvoplay developers")
endif()
set(ZARVO_METAINFO_WEB "")
if(ZARVO_WEB_HOME)
  string(CONCAT ZARVO_METAINFO_WEB
         "  <url type=\"homepage\">${ZARVO_WEB_HOME}</url>\n"
         "  <screenshots>\n"
         "    <screenshot type=\"default\">\n"
         "      <caption>A message of the bundled demo story</caption>\n"
         "      <image>${ZARVO_WEB_HOME}screenshots/demo-message.png</image>\n"
         "    </screenshot>\n"
         "    <screenshot>\n"
         "      <caption>The menu of the bundled demo story</caption>\n"
         "      <image>${ZARVO_WEB_HOME}screenshots/demo-menu.png</image>\n"
         "    </screenshot>\n"
         "  </screenshots>\n")
endif()
configure_file(${CMAKE_SOURCE_DIR}/app/zarvoplay.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/${ZARVO_APPSTREAM_ID}.metainfo.xml @ONLY)

set(ZARVO_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
add_custom_command(
  OUTPUT ${ZARVO_SCREENSHOT_DIR}/demo-message.png ${ZARVO_SCREENSHOT_DIR}/demo-menu.png
  COMMAND ${CMAKE_COMMAND} -DPLAYER=$<TARGET_FILE:zarvoplay> -DDEMO=${CMAKE_BINARY_DIR}/demo
          -DOUT=${ZARVO_SCREENSHOT_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/demo_screenshots.cmake
  DEPENDS zarvoplay zarvo_demo zarvo_system_library ${CMAKE_SOURCE_DIR}/cmake/demo_screenshots.cmake
  COMMENT "Taking the demo's screenshots")
add_custom_target(zarvo_screenshots ALL
  DEPENDS ${ZARVO_SCREENSHOT_DIR}/demo-message.png ${ZARVO_SCREENSHOT_DIR}/demo-menu.png)

# Manual pages and the change log are installed compressed, as Debian keeps them.
set(ZARVO_PROGRAMS zarvoplay zarvopack zarvoplay_setup zarvoplay-thumbnailer)
set(ZARVO_COMPRESSED_DOCS "")
foreach(page ${ZARVO_PROGRAMS})
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/doc/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/doc/${page}.1)
  list(APPEND ZARVO_COMPRESSED_DOCS ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
# The change log's entries are signed by the package's maintainer.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/man/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/changelog > ${CMAKE_BINARY_DIR}/man/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/changelog)
list(APPEND ZARVO_COMPRESSED_DOCS ${CMAKE_BINARY_DIR}/man/changelog.gz)
add_custom_target(zarvo_docs ALL DEPENDS ${ZARVO_COMPRESSED_DOCS})

install(TARGETS zarvoplay zarvoplay_setup zarvopack zarvoplay-thumbnailer
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/zarvoplay.zvl DESTINATION ${ZARVO_INSTALL_DATA_DIR})
install(TARGETS jpeg_spi gif_spi LIBRARY DESTINATION ${ZARVO_INSTALL_DATA_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/app/zarvoplay.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size ${ZARVO_ICON_SIZES})
  install(FILES ${ZARVO_ICON_DIR}/${size}x${size}/zarvoplay.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/app/zarvoplay-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zarvoplay.xml)
install(FILES ${CMAKE_SOURCE_DIR}/app/zarvoplay.thumbnailer
        DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${CMAKE_BINARY_DIR}/${ZARVO_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(program ${ZARVO_PROGRAMS})
  install(FILES ${CMAKE_BINARY_DIR}/man/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # bash looks a completion up by the command's name; one file serves all four.
  install(FILES ${CMAKE_SOURCE_DIR}/app/zarvoplay.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/man/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: `cpack -G DEB` in the build folder (see README).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvoplay)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZARVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for illustrated interactive stories made for Zarvo 3")
set(CPACK_PACKAGE_DESCRIPTION
    "zarvoplay plays visual novels written with the Japanese authoring tool Zarvo 3:
scripts of books and pages of commands with pictures, music and sounds, plain
or packaged. Stories open from the file manager, which shows their first
picture as a preview. Also zarvopack, which lists, extracts and creates story
packages, and zarvoplay_setup, which records where the player is installed.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(ZARVO_WEB_HOME)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZARVO_WEB_HOME}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst
    ${CMAKE_SOURCE_DIR}/packaging/postrm)
# Stories name Japanese faces, and MIDI music needs a General MIDI sound font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | fluid-soundfont-gm")
include(CPack)
