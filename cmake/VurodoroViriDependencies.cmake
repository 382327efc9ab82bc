# Everything comes from Debian's packages; scripts/bootstrap installs them.
find_package(Threads REQUIRED)
find_package(json-c CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
# Debian's cpp-httplib is a compiled library; its compile definitions change class layouts, so they
# must come from its own pkg-config file.
pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
