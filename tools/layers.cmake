# The layers check: every build reads the includes of util/, directory/, rights/, client/, app/,
# cli/ and gui/ against the table in tools/layers.txt and stops at an include against the arrows.
# It runs on every build (a scan of the sources takes a tenth of a second), before the libraries,
# so that whichever target is built, the check comes first.
set(ERA_LAYERS_RULES ${PROJECT_SOURCE_DIR}/tools/layers.txt)
set(ERA_LAYERS_ALLOWED ${PROJECT_SOURCE_DIR}/tools/layers-allowed.txt)
set(ERA_LAYERS_CHECKER ${PROJECT_SOURCE_DIR}/tools/check_layers.cmake)
add_custom_target(era_check_layers ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DRULES=${ERA_LAYERS_RULES}
          -DALLOWED=${ERA_LAYERS_ALLOWED} -P ${ERA_LAYERS_CHECKER}
  COMMENT "Checking the includes against the layers (tools/layers.txt)"
  VERBATIM)
foreach(library IN ITEMS era_util era_client_interface era_directory era_rights era_client era_app)
  add_dependencies(${library} era_check_layers)
endforeach()
