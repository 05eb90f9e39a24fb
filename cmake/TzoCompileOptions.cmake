# Compiler and linker settings shared by every target of the project.

# Warnings for one target, errors too when TZO_FACTORYINFO_WERROR is on.
function(tzo_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TZO_FACTORYINFO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A shared library that exports only what is marked in its header and named in its linker
# version script. Hidden visibility keeps internal functions out; the version script also keeps
# out the instantiations of standard templates, which the standard headers mark visible.
function(tzo_set_library_options target version_script)
    target_compile_features(${target} PUBLIC cxx_std_11)
    set_target_properties(${target} PROPERTIES
        CXX_STANDARD 17
        CXX_STANDARD_REQUIRED ON
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS "${version_script}"
    )
    target_link_options(${target} PRIVATE
        "LINKER:--version-script=${version_script}"
        "LINKER:--no-undefined"
        "LINKER:--as-needed"
    )
    tzo_set_warnings(${target})
endfunction()
