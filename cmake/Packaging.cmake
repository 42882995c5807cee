# What an installation holds besides the programs: the manual, the desktop entry, the icon
# and the AppStream metadata; and the Debian package made of it all by `cpack -G DEB`.

set(VEXIL_APP_ID org.example.Vexil)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc/manual/ DESTINATION share/doc/vexil)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VEXIL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VEXIL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/vexil.svg DESTINATION share/icons/hicolor/scalable/apps)

# Menus that cannot scale SVG pick a bitmap of their size; they are drawn from the SVG here.
find_program(VEXIL_RSVG_CONVERT rsvg-convert)
if(VEXIL_RSVG_CONVERT)
  set(pngs "")
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/vexil.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${VEXIL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/data/vexil.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/data/vexil.svg
      COMMENT "Drawing the ${size}x${size} icon")
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(vexil_icons ALL DEPENDS ${pngs})
else()
  message(WARNING "rsvg-convert not found (librsvg2-bin): the bitmap icons are not made")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexil)
set(CPACK_PACKAGE_VENDOR "The Vexil developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture browser for Usenet")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vexil fetches the articles of a picture newsgroup from a news server (NNTP), decodes "
  "their uuencoded and MIME attachments into a picture folder and shows the pictures as "
  "they arrive, with a slide show and a memory of what was already fetched.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vexil developers <vexil@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QtKeychain loads libsecret only at run time, so dpkg-shlibdeps cannot see it; without a
# Secret Service the password stays in the private settings file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0, gnome-keyring | kwalletmanager")
set(CPACK_STRIP_FILES ON)
include(CPack)
