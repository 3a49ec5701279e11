# Lays the DLLs, plugins and translation the Windows programs load beside them
# in the build's bin/ folder, as the zip lays them out, so that the tests under
# Wine find them where Windows looks first. The list is the packages' list too
# (scripts/package-windows.sh reads windows-runtime.txt).

# Not Qt6OpenGL: the Windows platform plugin is linked with it but imports
# nothing from it (the package check below would say so).
set(VORMIK_QT_DLLS Qt6Core Qt6Gui Qt6Widgets Qt6Network)
set(VORMIK_MINGW_DLLS libstdc++-6 libgcc_s_seh-1 libwinpthread-1)
set(VORMIK_QT_PLUGINS platforms/qwindows styles/qwindowsvistastyle)
set(VORMIK_QT_TRANSLATION /usr/share/qt6/translations/qtbase_ru.qm)

set(bin ${CMAKE_BINARY_DIR}/bin)
set(shipped)

function(vormik_copy_beside from to)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "Windows runtime: ${from} is missing")
  endif()
  get_filename_component(folder ${bin}/${to} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(COPY_FILE ${from} ${bin}/${to} ONLY_IF_DIFFERENT)
endfunction()

foreach(dll ${VORMIK_QT_DLLS})
  vormik_copy_beside(${VORMIK_QT_WIN_PREFIX}/bin/${dll}.dll ${dll}.dll)
  list(APPEND shipped ${dll}.dll)
endforeach()
foreach(dll ${VORMIK_MINGW_DLLS})
  find_file(VORMIK_DLL_${dll} ${dll}.dll PATHS ${VORMIK_MINGW_RUNTIME_DIRS}
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  vormik_copy_beside(${VORMIK_DLL_${dll}} ${dll}.dll)
  list(APPEND shipped ${dll}.dll)
endforeach()
foreach(plugin ${VORMIK_QT_PLUGINS})
  vormik_copy_beside(${VORMIK_QT_WIN_PREFIX}/plugins/${plugin}.dll ${plugin}.dll)
  list(APPEND shipped ${plugin}.dll)
endforeach()
vormik_copy_beside(${VORMIK_QT_TRANSLATION} translations/qtbase_ru.qm)
list(APPEND shipped translations/qtbase_ru.qm)
# Qt looks for its plugins and translations from here, not from the folder
# it was built into.
file(WRITE ${bin}/qt.conf "[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n")
list(APPEND shipped qt.conf)
file(WRITE ${CMAKE_BINARY_DIR}/windows-runtime.txt "")
foreach(file ${shipped})
  file(APPEND ${CMAKE_BINARY_DIR}/windows-runtime.txt "${file}\n")
endforeach()

# Only for the tests: Qt Test and the platform the window tests run on.
vormik_copy_beside(${VORMIK_QT_WIN_PREFIX}/bin/Qt6Test.dll Qt6Test.dll)
vormik_copy_beside(${VORMIK_QT_WIN_PREFIX}/plugins/platforms/qoffscreen.dll
                   platforms/qoffscreen.dll)
