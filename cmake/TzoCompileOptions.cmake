# Compiler and linker settings shared by every target of the project.

# Warnings for one target, errors too when TZO_FACTORYINFO_WERROR is on.
function(tzo_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TZO_FACTORYINFO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# tzo_add_shared_library(TARGET EXPORT_NAME name VERSION x.y.z SOVERSION n
#                        INCLUDE_DIR dir VERSION_SCRIPT file SOURCES ...)
# A shared library, aliased as tzo::<name>, with its public headers under INCLUDE_DIR. It exports
# only what is marked in its header and named in its linker version script: hidden visibility
# keeps internal functions out, and the version script also keeps out the instantiations of
# standard templates, which the standard headers mark visible.
function(tzo_add_shared_library target)
    cmake_parse_arguments(PARSE_ARGV 1 arg
        "" "EXPORT_NAME;VERSION;SOVERSION;INCLUDE_DIR;VERSION_SCRIPT" "SOURCES")
    add_library(${target} SHARED ${arg_SOURCES})
    add_library(tzo::${arg_EXPORT_NAME} ALIAS ${target})
    target_include_directories(${target}
        PUBLIC
            $<BUILD_INTERFACE:${arg_INCLUDE_DIR}>
            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    )
    # Programs built against the installed package get C++11 for the C++ header from the
    # package's configuration file, and only when they enable C++: C programs link it too.
    target_compile_features(${target} PUBLIC $<BUILD_INTERFACE:cxx_std_11>)
    set_target_properties(${target} PROPERTIES
        EXPORT_NAME ${arg_EXPORT_NAME}
        VERSION ${arg_VERSION}
        SOVERSION ${arg_SOVERSION}
        CXX_STANDARD 17
        CXX_STANDARD_REQUIRED ON
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS "${arg_VERSION_SCRIPT}"
    )
    target_link_options(${target} PRIVATE
        "LINKER:--version-script=${arg_VERSION_SCRIPT}"
        "LINKER:--no-undefined"
        "LINKER:--as-needed"
    )
    tzo_set_warnings(${target})
endfunction()
