# `cpack` in the build folder makes tarnbell_<version>_<arch>.deb, which installs with
# `apt install ./tarnbell_*.deb`: the libraries the programs link come from dpkg-shlibdeps,
# the Qt plugins they load at run time (the X11/Wayland platform, the SVG icon) are named here.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarnbell")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DNS resolver benchmark: which resolver answers fastest")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tarnbell asks every DNS server of a list about every domain of another, one query at a\n"
    "time over UDP, TCP, DNS over TLS or DNS over HTTPS, times every answer and shows each\n"
    "server's mean and median response time. A window (tarnbell) and a command-line\n"
    "companion (tarnbell-cli) share one engine.")
set(CPACK_PACKAGE_CONTACT "Tarnbell developers")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Only the programs and their desktop files: the tests and benchmarks install nothing.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
