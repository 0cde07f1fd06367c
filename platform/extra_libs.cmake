# Libraries of the window system: FreeType and fontconfig for text, X11 with the shape
# extension for the X11 presenter, libpng for screenshots and PNG icons.
find_package(Freetype REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VELNO_WINSYS REQUIRED IMPORTED_TARGET fontconfig x11 xext libpng)
target_link_libraries(velnowin PRIVATE Freetype::Freetype PkgConfig::VELNO_WINSYS)
