# Puts the DLLs a Windows panel needs beside the programs, as the installer
# does: Qt's Core, Gui and Widgets (and Test for the test suite), the C++
# runtime they were built with, the platform plugins (windows for a real
# window, offscreen for the tests) and the native style. Nothing else of
# the Qt folder is needed at run time. The lists name what the programs
# need, without the tests' Test DLL and offscreen platform: the installer
# takes them.
set(_kx_qt_bin ${KX_QT_WINDOWS}/bin)
set(_kx_qt_plugins ${KX_QT_WINDOWS}/plugins)
set(KX_QT_WINDOWS_DLLS
  ${_kx_qt_bin}/Qt6Core.dll ${_kx_qt_bin}/Qt6Gui.dll ${_kx_qt_bin}/Qt6Widgets.dll
  ${_kx_qt_bin}/libstdc++-6.dll ${_kx_qt_bin}/libgcc_s_seh-1.dll ${_kx_qt_bin}/libwinpthread-1.dll)
set(KX_QT_WINDOWS_PLATFORMS ${_kx_qt_plugins}/platforms/qwindows.dll)
set(KX_QT_WINDOWS_STYLES ${_kx_qt_plugins}/styles/qwindowsvistastyle.dll)
file(COPY ${KX_QT_WINDOWS_DLLS} ${_kx_qt_bin}/Qt6Test.dll DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(COPY ${KX_QT_WINDOWS_PLATFORMS} ${_kx_qt_plugins}/platforms/qoffscreen.dll
     DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/platforms)
file(COPY ${KX_QT_WINDOWS_STYLES} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/styles)
