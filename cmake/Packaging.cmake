# A Debian package of the installed files (cpack -G DEB in the build directory), declaring
# the packages the tool needs at run time: the ODBC driver manager, the SQL Server driver
# (FreeTDS), Qt 6 Widgets with its platform plug-ins, the SVG icon plug-in, Qt's Polish texts
# and xdg-utils, through which the about box opens the maker's web page.
set(VANDREL_MAINTAINER "Quorvel sp. z o.o. <vandrel@quorvel.pl>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vandrel)
set(CPACK_PACKAGE_VENDOR "Quorvel sp. z o.o.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Administracja serwerem MSDE 2000 / SQL Server 2005 Express")
set(CPACK_PACKAGE_DESCRIPTION "Vandrel służy do przeglądania i administrowania lokalnym
serwerem MSDE 2000 lub SQL Server 2005 Express przez unixODBC i FreeTDS;
w pakiecie także msde-sim, symulowany serwer z przykładowymi bazami
sklepu (vandrel --demo).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANDREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6, libstdc++6, unixodbc, libodbc2, tdsodbc, libqt6core6, libqt6gui6, libqt6widgets6, qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, zlib1g, xdg-utils")
# Debian's rules for a package: programs without their symbol tables, and the copyright and
# change log every package carries in its documentation directory.
set(CPACK_STRIP_FILES ON)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -f ${CMAKE_BINARY_DIR}/debian/changelog)
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vandrel)
include(CPack)
