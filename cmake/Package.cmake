# What the release zip holds besides the exe: the Windows user's README.txt (CR LF lines) and
# the version that names the zip, both from the project's version. tools/package reads them.
set(QUARVELLO_PACKAGE_DIR "${PROJECT_BINARY_DIR}/package")
configure_file("${CMAKE_CURRENT_LIST_DIR}/README.txt.in" "${QUARVELLO_PACKAGE_DIR}/README.txt"
    @ONLY NEWLINE_STYLE CRLF)
file(CONFIGURE OUTPUT "${QUARVELLO_PACKAGE_DIR}/version" CONTENT "${PROJECT_VERSION}\n")
