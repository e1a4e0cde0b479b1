# vexlo_link_privately(TARGET EXPORTS_MAP): the shared object TARGET exports
# only the symbols that EXPORTS_MAP names and carries the C++ runtime inside,
# so that it needs nothing that the loading process may lack or hold in
# another version. Each takes a linker that accepts it (GNU ld, gold, lld;
# not Apple's ld64, where hidden visibility alone keeps the rest private).
# Sanitized builds keep the runtime shared, so that the sanitizer sees every
# allocation.
include(CheckLinkerFlag)

function(vexlo_link_privately target exports)
  check_linker_flag(CXX "LINKER:--version-script=${exports}" VEXLO_LINKER_HAS_VERSION_SCRIPT)
  if(VEXLO_LINKER_HAS_VERSION_SCRIPT)
    target_link_options(${target} PRIVATE "LINKER:--version-script=${exports}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${exports}")
  endif()
  if(NOT VEXLO_SANITIZE AND NOT VEXLO_SANITIZE_THREAD)
    check_linker_flag(CXX "-static-libstdc++;-static-libgcc" VEXLO_LINKER_HAS_STATIC_RUNTIME)
    if(VEXLO_LINKER_HAS_STATIC_RUNTIME)
      target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
  endif()
endfunction()
