# vm_add_component(TARGET NAME FOLDER OUTPUT_ROOT SOURCES...): NAME.kvc into
# OUTPUT_ROOT/FOLDER, built from kvc.h alone.
function(vm_add_component target name folder root)
    add_library(${target} MODULE ${ARGN})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/components)
    # Every component names the C library it runs against, also when the
    # linker would drop it as unused: packaging tools require it of shared
    # objects.
    target_link_options(${target} PRIVATE LINKER:--no-as-needed)
    target_link_libraries(${target} PRIVATE vm_warnings m c)
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".kvc" OUTPUT_NAME ${name}
        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
        LIBRARY_OUTPUT_DIRECTORY ${root}/${folder})
endfunction()
