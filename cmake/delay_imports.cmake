# delay_import_libraries(TARGET dll...): builds, for each system DLL named
# (such as user32), an import library whose functions load the DLL on their first
# call (dlltool's delay-load tables; the program supplies the helper that
# loads, __delayLoadHelper2 in toolkit/system/system_libraries.cpp). Every
# function of the toolchain's own import library is in it. Links them into
# TARGET after its own libraries, so that they come before the ordinary
# import libraries that the compiler adds, and the toolkit's loader after them.
function(delay_import_libraries target)
  set(libs)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/delay)
  foreach(dll ${ARGN})
    set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
    set(lib ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
    # Built once, for every program of the folder that names the DLL.
    if(NOT TARGET ${dll}_delay_import)
      add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORTS=${CMAKE_FIND_ROOT_PATH}/lib/lib${dll}.a
                -DDLL=${dll}.dll -DDEF=${def} -DPREFIX=${DELAY_SYMBOL_PREFIX}
                -P ${CMAKE_SOURCE_DIR}/cmake/write_def.cmake
        COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${dll}.def --dllname ${dll}.dll
                --output-delaylib lib${dll}_delay.a
        DEPENDS ${CMAKE_SOURCE_DIR}/cmake/write_def.cmake
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/delay
        COMMENT "Delay-load import library for ${dll}.dll"
        VERBATIM)
      add_custom_target(${dll}_delay_import DEPENDS ${lib})
    endif()
    add_dependencies(${target} ${dll}_delay_import)
    list(APPEND libs ${lib})
  endforeach()
  # The toolkit once more behind them, so that their loader is the toolkit's
  # and never the C runtime's own __delayLoadHelper2.
  target_link_libraries(${target} PRIVATE ${libs} toolkit)
endfunction()

# 32-bit C names carry a leading underscore in the object files.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(DELAY_SYMBOL_PREFIX _)
else()
  set(DELAY_SYMBOL_PREFIX "")
endif()
