# The plug-in, the host library and the programs share one C++ runtime, so an
# exception thrown in one module is caught in another and all of them use one
# heap. Copies the toolchain's runtime DLLs into the output directory, where
# Windows looks for a program's DLLs first.
set(mingw_runtime_copies "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE dll_path
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
    message(FATAL_ERROR "The compiler ${CMAKE_CXX_COMPILER} ships no ${dll}")
  endif()
  get_filename_component(dll_path "${dll_path}" REALPATH)
  set(copy ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
  add_custom_command(
    OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll_path} ${copy}
    DEPENDS ${dll_path}
    COMMENT "Copying ${dll}")
  list(APPEND mingw_runtime_copies ${copy})
endforeach()
add_custom_target(mingw_runtime ALL DEPENDS ${mingw_runtime_copies})
