# What a Windows user gets: the installer Lumidra-<version>-win64.exe and the
# portable Lumidra-<version>-win64.zip of the same files (`cpack` in the
# Windows build folder; makensis runs on Linux). The install rules below are
# the one list of those files: the installer, the zip and the deployed folder
# the tests start (`cmake --install`) all come from it.
#
#   <folder>\lumidra.exe and everything the window needs (Qt's DLLs, the
#            windows platform and style, the picture formats, the runtime)
#   <folder>\bin\lumidra-cli.exe and only what it needs, so that adding this
#            folder to PATH puts no other program and no window's DLL there
#   <folder>\wireshark\lumidra.lua, the board's dissector for Wireshark
# A cross build with the runtime linked in statically has Qt's DLLs needing
# a runtime of their own: no package is made of it.
if(CMAKE_CROSSCOMPILING AND NOT LUMIDRA_MINGW_SHARED_RUNTIME)
  message(STATUS "No Windows package: it needs -DLUMIDRA_MINGW_SHARED_RUNTIME=ON")
  return()
endif()

# The compiler's runtime DLLs, stripped into the build folder first: Debian's
# libstdc++-6.dll carries some 20 MB of debug information.
set(runtime_dir "${CMAKE_CURRENT_BINARY_DIR}/runtime")
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "The compiler does not know where ${dll} is (it said \"${found}\")")
  endif()
  add_custom_command(OUTPUT "${runtime_dir}/${dll}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${runtime_dir}"
    COMMAND "${CMAKE_STRIP}" --strip-unneeded -o "${runtime_dir}/${dll}" "${found}"
    DEPENDS "${found}"
    VERBATIM)
  list(APPEND runtime_dlls "${runtime_dir}/${dll}")
endforeach()
add_custom_target(lumidra_windows_runtime ALL DEPENDS ${runtime_dlls})

# Both programs' share: Qt Core and Gui (pictures are read with Qt Gui, and
# its picture-format plugins read GIF and JPEG), and the runtime.
foreach(folder . bin)
  install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> ${runtime_dlls} DESTINATION "${folder}")
  install(FILES $<TARGET_FILE:Qt6::QGifPlugin> $<TARGET_FILE:Qt6::QICOPlugin> $<TARGET_FILE:Qt6::QJpegPlugin>
          DESTINATION "${folder}/imageformats")
endforeach()
install(TARGETS lumidra RUNTIME DESTINATION .)
install(TARGETS lumidra-cli RUNTIME DESTINATION bin)
# The window's own: widgets, the platform that shows them, the native style.
install(FILES $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)
# The board's dissector, to be copied into Wireshark's plugin folder
# (%APPDATA%\Wireshark\plugins).
install(FILES "${PROJECT_SOURCE_DIR}/packaging/wireshark/lumidra.lua" DESTINATION wireshark)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Lumidra)
set(CPACK_PACKAGE_VENDOR Lumidra)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop program for the Lumidra USB demonstration board")
set(CPACK_PACKAGE_FILE_NAME "Lumidra-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Lumidra)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Lumidra)
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
# The NSIS script gets these texts as they are written here.
set(CPACK_VERBATIM_VARIABLES ON)

# Per machine, into the 64-bit Program Files; an older Lumidra is removed
# first, so that an update leaves no file of it behind.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Lumidra)
set(CPACK_NSIS_DISPLAY_NAME "Lumidra ${PROJECT_VERSION}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MUI_ICON "${LUMIDRA_WINDOWS_ICON}")
set(CPACK_NSIS_MUI_UNIICON "${LUMIDRA_WINDOWS_ICON}")
set(CPACK_NSIS_INSTALLED_ICON_NAME lumidra.exe)
set(CPACK_NSIS_CONTACT "maintainers@lumidra.org")

# bin\ on PATH when asked: the installer's options page, or in a silent
# install /PATH=ALL (every user) or /PATH=USER (the installing user). The
# uninstaller takes it off PATH again.
set(CPACK_NSIS_MODIFY_PATH ON)
set(CPACK_NSIS_DEFINES "!include FileFunc.nsh")
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [[
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PATH=" $R1
  IfErrors lumidra_path_asked
  StrCmp $R1 "ALL" lumidra_path_all
  StrCmp $R1 "USER" lumidra_path_user lumidra_path_asked
  lumidra_path_all:
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 2" "State" "0"
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 3" "State" "1"
    Goto lumidra_path_asked
  lumidra_path_user:
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 2" "State" "0"
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 4" "State" "1"
  lumidra_path_asked:
]])

# The Start menu: the program, and its all-panels arrangement. Both start in
# the user's profile folder (expanded by Windows when the entry is opened, for
# whoever opens it), where the key base dialogs and the plot records begin,
# not in Program Files, where a user may not write. Not in Documents: it may be
# redirected (to a network or cloud folder) or missing, and Windows refuses an
# entry whose start folder does not exist; the profile is there for every user.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Lumidra.lnk" "$INSTDIR\lumidra.exe"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Lumidra (all panels).lnk" "$INSTDIR\lumidra.exe" "--all-panels"
  SetOutPath "$INSTDIR"
]])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [[
  Delete "$SMPROGRAMS\$MUI_TEMP\Lumidra.lnk"
  Delete "$SMPROGRAMS\$MUI_TEMP\Lumidra (all panels).lnk"
]])
# The installer keeps its folder and Start menu choice under
# Software\<vendor>\<key>; the uninstaller removes that key, and here the
# vendor's key it was made in, so that none of the installer's entries stays.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  DeleteRegKey SHCTX "Software\Lumidra\Lumidra"
  DeleteRegKey /ifempty SHCTX "Software\Lumidra"
]])
include(CPack)
