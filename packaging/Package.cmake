# cpack -G DEB: one package with everything the project installs, so a
# program with its own install() rules joins it without a change here, and
# beside it, from the same run, one with the plugins only KDE Plasma 5's
# programs load (the install component "kde"), which alone need Qt 5 and
# KDE Frameworks: a GNOME or Xfce system is spared both.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintra-editor)
set(CPACK_PACKAGE_VENDOR "Zintra Editor developers")
set(CPACK_PACKAGE_CONTACT "Zintra Editor developers <editor@zintra-editor.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zintra-editor.example.org)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The library dependencies are read from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 0)

# One package per install component, where there are several. The main
# package is the component of every install() that names none, CMake's
# "Unspecified".
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME ${CPACK_PACKAGE_NAME})
# Each description's first line is its package's summary.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "editor for small looping animations played as tray icons
Zintra animations are short loops of 16x16-pixel frames in the 16 standard
colours, played one after another as a system-tray icon. The editor draws
each frame on an enlarged grid with a pencil, an eraser and a flood fill,
sets each frame's display time, previews the loop and saves it as a ZN file.
It also imports Windows animated cursors (.ani).
.
The package also holds zntool, which inspects ZN files and converts them to
and from animated GIFs, PNG sprite strips and animated cursors, and makes
the thumbnails file managers show for ZN files, and the image loaders that
let programs reading images through gdk-pixbuf or Qt 6 open ZN files.")

# What Debian asks of every package: its copyright and its changelog.
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ${changelog}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES packaging/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})

# The KDE package, where its plugins were built (Qt 5's and KIO's
# development files found): it needs the main package's file type.
get_cmake_property(components COMPONENTS)
if(kde IN_LIST components)
  set(CPACK_DEBIAN_KDE_PACKAGE_NAME ${CPACK_PACKAGE_NAME}-kde)
  set(CPACK_DEBIAN_KDE_PACKAGE_SOURCE ${CPACK_PACKAGE_NAME})  # whose changelog it carries
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_COMPONENT_KDE_DEPENDS Unspecified)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS ${CPACK_DEBIAN_KDE_PACKAGE_NAME})
  set(CPACK_DEBIAN_KDE_DESCRIPTION "ZN files in KDE Plasma 5: Gwenview and Dolphin
Zintra animations are short loops of 16x16-pixel frames played as a
system-tray icon, saved as ZN files by zintra-editor.
.
This package lets the programs of KDE Plasma 5, which read images through
Qt 5, show them: a Qt 5 image plugin with which Gwenview and every other
Qt 5 program open and play ZN files, and a KIO thumbnail plugin with which
Dolphin and KDE's file dialogs show a file's first frame, enlarged, as its
thumbnail. Other desktops need only zintra-editor.")
  install(FILES packaging/copyright ${changelog} COMPONENT kde
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_KDE_PACKAGE_NAME})
endif()

include(CPack)
