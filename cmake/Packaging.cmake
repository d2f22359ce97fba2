# The Debian package, made by CPack from the install rules: cpack -G DEB in the build folder
# gives vidorra_<version>_<arch>.deb there. The shared libraries the binaries link give
# the dependencies (dpkg-shlibdeps); what the program loads at run time is added by hand:
# the GStreamer plug-ins its graphs and devices use, and the fonts of its inlaid text
# ("Arial" resolves to Liberation Sans) and of its test pattern.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vidorra)
set(CPACK_PACKAGE_VENDOR Ardoval)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ardoval <vidorra@ardoval.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "video capture from cameras, DV camcorders and capture cards")
set(CPACK_PACKAGE_DESCRIPTION
    "Vidorra previews one video source and one audio source and records what it
shows: DV AVI, AVI, MPEG-4 AVI, ASF/WMV, MPEG, WAV, MP3 and time-lapse AVI. It
drives DV camcorders, inlays dates and time codes into the picture, grabs still
images, schedules recordings and runs scripts. Its interface is in French.
The package also holds vidorra-script, the GStreamer plug-in vidorra with the
program's elements, and the header of capture plug-ins.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vidorra)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ardoval.invalid/vidorra")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-alsa, fonts-liberation2, \
fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-pipewire | gstreamer1.0-pulseaudio")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gstreamer1.0-tools")

include(CPack)
