# Install-time script: writes the desktop entry with Exec naming the installed
# vormik, quoted by the Desktop Entry rules (as platform::DesktopExecQuote does).
if(IS_ABSOLUTE "${VORMIK_BINDIR}")
  set(program "${VORMIK_BINDIR}/vormik")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${VORMIK_BINDIR}/vormik")
endif()
# Inside the double quotes '"', '`', '$' and '\' take a backslash and '%' is
# doubled; then the file format's own escape doubles every backslash.
string(REPLACE "\\" "\\\\" quoted "${program}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
string(REPLACE "\\" "\\\\" VORMIK_EXEC "\"${quoted}\"")
configure_file("${VORMIK_DESKTOP_TEMPLATE}" "${VORMIK_DESKTOP_WORK}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VORMIK_APPLICATIONS_DIR}" TYPE FILE
     FILES "${VORMIK_DESKTOP_WORK}")
