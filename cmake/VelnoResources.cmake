# velno_add_resources(<target> <script.rc>): gives a program or module the resources of a
# resource script. The Windows build compiles the script with windres and links the object;
# the native build runs rcembed (tools/rcembed) to turn it into a C++ source that registers the
# resources with the platform's resource tables when the module loads.
function(velno_add_resources target rc)
  get_filename_component(rc_abs ${rc} ABSOLUTE)
  get_filename_component(rc_name ${rc} NAME_WE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  if(VELNO_WINDOWS_BUILD)
    if(CMAKE_RC_COMPILER)
      set(windres ${CMAKE_RC_COMPILER})
    else()
      find_program(windres NAMES ${CMAKE_CXX_COMPILER_TARGET}-windres windres REQUIRED)
    endif()
    set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_res.o)
    add_custom_command(OUTPUT ${obj}
      COMMAND ${windres} -I ${rc_dir} -O coff -i ${rc_abs} -o ${obj}
      DEPENDS ${rc_abs}
      WORKING_DIRECTORY ${rc_dir}
      COMMENT "windres ${rc_name}.rc for ${target}" VERBATIM)
    set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    target_sources(${target} PRIVATE ${obj})
  else()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_resources.cpp)
    add_custom_command(OUTPUT ${out}
      COMMAND rcembed ${rc_abs} ${out} ${out}.d
      DEPENDS rcembed ${rc_abs}
      DEPFILE ${out}.d
      COMMENT "rcembed ${rc_name}.rc for ${target}" VERBATIM)
    target_sources(${target} PRIVATE ${out})
  endif()
endfunction()
