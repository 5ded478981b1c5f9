# What `cmake --install` puts where, and the Debian package made of it
# (scripts/package.sh).
#
#   bin/tidyfold                                   the program
#   share/tidyfold/license.rtf, compressed.lst     read-only data
#   share/applications/org.tidyfold.Tidyfold.desktop
#   share/metainfo/org.tidyfold.Tidyfold.metainfo.xml
#   share/icons/hicolor/{scalable,NxN}/apps/org.tidyfold.Tidyfold.{svg,png}
#   share/man/man1/tidyfold.1.gz
#   share/doc/tidyfold/copyright, changelog.gz
#   share/bash-completion/completions/tidyfold     (where bash-completion's pkg-config file says)
#   share/zsh/vendor-completions/_tidyfold         (share/zsh/site-functions outside /usr)
#   share/fish/vendor_completions.d/tidyfold.fish  (where fish's pkg-config file says)
#
# The program knows it is installed by the data folder "../share/tidyfold"
# beside its own folder (shell/AppFiles.cpp), and then keeps the user's
# settings in $XDG_CONFIG_HOME/tidyfold.
include(GNUInstallDirs)

set(TIDYFOLD_MAINTAINER "Tidyfold developers <developers@tidyfold.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
# The day of this version: the changelog, the man page and the metadata carry it.
set(TIDYFOLD_RELEASE_DATE "2026-12-07")

file(RELATIVE_PATH data_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/tidyfold)
if(NOT data_from_bin STREQUAL "../share/tidyfold")
    message(FATAL_ERROR "The program finds its data at ../share/tidyfold beside its folder; "
                        "this layout puts it at ${data_from_bin}.")
endif()

set(data ${CMAKE_SOURCE_DIR}/data)
set(generated ${CMAKE_BINARY_DIR}/data)
set(TIDYFOLD_FULL_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/tidyfold)
configure_file(${data}/org.tidyfold.Tidyfold.metainfo.xml.in ${generated}/org.tidyfold.Tidyfold.metainfo.xml @ONLY)
execute_process(COMMAND date -u -R -d ${TIDYFOLD_RELEASE_DATE}
                OUTPUT_VARIABLE TIDYFOLD_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND env LC_ALL=C date -u "+%B %Y" -d ${TIDYFOLD_RELEASE_DATE}
                OUTPUT_VARIABLE TIDYFOLD_RELEASE_MONTH OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${data}/debian/changelog.in ${generated}/changelog @ONLY)
configure_file(${data}/tidyfold.1.in ${generated}/tidyfold.1 @ONLY)

# Debian wants manual pages and changelogs compressed at the highest level,
# without a time stamp in the header (gzip -n), so the package is reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(text tidyfold.1 changelog)
    add_custom_command(OUTPUT ${generated}/${text}.gz
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${generated}/${text} > ${generated}/${text}.gz
        DEPENDS ${generated}/${text}
        VERBATIM)
    list(APPEND compressed_texts ${generated}/${text}.gz)
endforeach()
add_custom_target(tidyfold_install_texts ALL DEPENDS ${compressed_texts})

# Shell completion, in the folders the shells load it from on demand. A
# folder a shell's pkg-config file names is asked with our own data folder
# in place of its, so that a prefix other than /usr keeps everything below
# it; without the shell installed at build time, its usual place. Each may
# be set (relative to the prefix, or absolute).
find_package(PkgConfig QUIET)
function(tidyfold_completion_dir variable module usual)
    set(${variable} "" CACHE PATH "Where the ${module} completion goes (empty: as ${module} says, else ${usual})")
    set(dir "${${variable}}")
    if(dir STREQUAL "" AND PKG_CONFIG_FOUND AND NOT module STREQUAL "zsh")
        execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --define-variable=prefix=${CMAKE_INSTALL_PREFIX}
                                --define-variable=datadir=${CMAKE_INSTALL_FULL_DATADIR}
                                --variable=completionsdir ${module}
                        OUTPUT_VARIABLE dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
        if(failed)
            set(dir "")
        endif()
    endif()
    if(dir STREQUAL "")
        set(dir ${usual})
    endif()
    # Relative to the prefix where it lies below it, so that DESTDIR and the
    # package put it in their own tree.
    if(IS_ABSOLUTE "${dir}")
        file(RELATIVE_PATH relative ${CMAKE_INSTALL_PREFIX} ${dir})
        if(NOT relative MATCHES "^\\.\\.")
            set(dir ${relative})
        endif()
    endif()
    set(${variable}_RESOLVED ${dir} PARENT_SCOPE)
endfunction()
tidyfold_completion_dir(TIDYFOLD_BASH_COMPLETION_DIR bash-completion ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
tidyfold_completion_dir(TIDYFOLD_FISH_COMPLETION_DIR fish ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
# Debian's zsh looks in vendor-completions below /usr, and in site-functions
# below /usr/local, as zsh itself does everywhere else.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    tidyfold_completion_dir(TIDYFOLD_ZSH_COMPLETION_DIR zsh ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
else()
    tidyfold_completion_dir(TIDYFOLD_ZSH_COMPLETION_DIR zsh ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
endif()

install(TARGETS tidyfold RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data}/completion/tidyfold.bash DESTINATION ${TIDYFOLD_BASH_COMPLETION_DIR_RESOLVED} RENAME tidyfold)
install(FILES ${data}/completion/_tidyfold DESTINATION ${TIDYFOLD_ZSH_COMPLETION_DIR_RESOLVED})
install(FILES ${data}/completion/tidyfold.fish DESTINATION ${TIDYFOLD_FISH_COMPLETION_DIR_RESOLVED})
install(FILES ${CMAKE_SOURCE_DIR}/resources/license.rtf ${CMAKE_SOURCE_DIR}/resources/compressed.lst
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tidyfold)
install(FILES ${data}/org.tidyfold.Tidyfold.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/org.tidyfold.Tidyfold.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/icons/org.tidyfold.Tidyfold.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${data}/icons/${size}/org.tidyfold.Tidyfold.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${generated}/tidyfold.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian names the folder after the package, in lower case.
install(FILES ${data}/debian/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tidyfold)

# The Debian package. Its dependencies are computed by dpkg-shlibdeps from the
# libraries the program links (Qt, SimpleIni, the C++ runtime).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidyfold)
set(CPACK_PACKAGE_VENDOR "The Tidyfold developers")
set(CPACK_PACKAGE_CONTACT ${TIDYFOLD_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps the Desktop folder clean")
# Debian shows the description as it is: lines of at most 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tidyfold finds every file on the Desktop that has not been used for a"
    "number of days and copies it to an offload folder and then deletes it,"
    "moves it there, or deletes it, keeping its sub-folder path. It also removes"
    "folders unpacked beside archives, and empty folders."
    "Copies are flushed to disk before anything is deleted, moves never replace"
    "a file, and symbolic links are never followed.")
# scripts/package.sh configures the prefix /usr, as Debian packages have it.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
