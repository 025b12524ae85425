# cpack -G DEB: one package with everything the project installs, so a
# program with its own install() rules joins it without a change here.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintra-editor)
set(CPACK_PACKAGE_VENDOR "Zintra Editor developers")
set(CPACK_PACKAGE_CONTACT "Zintra Editor developers <editor@zintra-editor.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for small looping animations played as tray icons")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zintra animations are short loops of 16x16-pixel frames in the 16 standard
colours, played one after another as a system-tray icon. The editor draws
each frame on an enlarged grid with a pencil, an eraser and a flood fill,
sets each frame's display time, previews the loop and saves it as a ZN file.
It also imports Windows animated cursors (.ani).
.
The package also holds zntool, which inspects ZN files and converts them to
and from animated GIFs, PNG sprite strips and animated cursors, and makes
the thumbnails file managers show for ZN files, and the image loaders that
let programs reading images through gdk-pixbuf or Qt open ZN files.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zintra-editor.example.org)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The library dependencies are read from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 0)

# What Debian asks of every package: its copyright and its changelog.
set(package_docs ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ${changelog}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES packaging/copyright ${changelog} DESTINATION ${package_docs})

include(CPack)
