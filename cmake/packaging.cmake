# The Debian package: `cpack -G DEB` in a build folder gives
# kx7312_<version>_<arch>.deb with everything `cmake --install` puts in place.
set(CPACK_PACKAGE_NAME kx7312)
set(CPACK_PACKAGE_VENDOR "The KX7312 panel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the KX7312 evaluation board")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kx7312)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KX7312 panel maintainers <maintainers@kx7312.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the long text,
# whose empty line CPack turns into Debian's paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The desktop control panel for the KX7312 evaluation board, a USB board with
sixteen 12-bit DAC channels and sixteen 12-bit ADC channels: load DAC codes,
program the DAC configuration registers, drive the CLR and LDAC lines,
configure and read the ADC in codes and volts, capture sample blocks to text
files and send raw words to the chip.

The package holds both panel programs, KX7312(version2) and the earlier
KX7312, the command-line tool kx7312ctl with its SCPI server for test
benches, the capture viewer kx7312-view, the firmware image the programs
download to the board, and the udev rule that opens the board to the user at
the seat, and a PyMeasure driver for Python test benches (kx7312.pymeasure).
Without a board, every program runs on a simulated board.")
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform
# plugins are loaded at run time, so they are named here, and Python for the
# driver's module in Python's own folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, python3:any")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
# VISA's TCPIP::host::INSTR finds the server through rpcbind; the Python
# driver needs PyMeasure.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rpcbind, python3-pymeasure, python3-pyvisa-py")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_GENERATOR DEB)
include(CPack)
