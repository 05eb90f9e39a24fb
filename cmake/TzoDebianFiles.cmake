# Run by CPack on the staged files of each package before it builds the packages
# (CPACK_PRE_BUILD_SCRIPTS, see cmake/TzoPackaging.cmake). Adds what Debian wants in every
# package: /usr/share/doc/PACKAGE/copyright and changelog.gz, and manual pages compressed.
# Compression drops names and times (gzip -n), so that the same files give the same package.

# Compresses FILE in place to FILE.gz.
function(tzo_gzip file)
    execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "gzip ${file} failed: ${result}")
    endif()
endfunction()

# Dated by SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP tzo_date "%a, %d %b %Y %H:%M:%S +0000" UTC)

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER "${component}" upper)
    set(package "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
    set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${component}")

    file(GLOB_RECURSE pages LIST_DIRECTORIES false "${root}/usr/share/man/*")
    foreach(page IN LISTS pages)
        if(NOT page MATCHES "\\.gz$")
            tzo_gzip("${page}")
        endif()
    endforeach()

    set(doc "${root}/usr/share/doc/${package}")
    file(MAKE_DIRECTORY "${doc}")
    configure_file("${CPACK_TZO_COPYRIGHT_FILE}" "${doc}/copyright" COPYONLY)
    file(WRITE "${doc}/changelog"
        "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) stable; urgency=medium\n\n"
        "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
        " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${tzo_date}\n")
    tzo_gzip("${doc}/changelog")
endforeach()
