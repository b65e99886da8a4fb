# Installs the build into a folder emptied first, so no file of an earlier
# install (a module since removed, say) is tested.
#   cmake -DBUILD=<build dir> -DPREFIX=<folder> -P install_fresh.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
