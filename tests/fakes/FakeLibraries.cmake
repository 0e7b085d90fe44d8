# Stand-in libraries of the test tree: the same source built with and
# without an export, into FAKES_OUTPUT. No unique symbols, so that a released
# library unloads.
function(add_fake_library name source)
  add_library(${name} SHARED ${source})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${FIREBIRD_INCLUDE_DIR})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
    LIBRARY_OUTPUT_DIRECTORY ${FAKES_OUTPUT} RUNTIME_OUTPUT_DIRECTORY ${FAKES_OUTPUT})
  if(WIN32)
    set_target_properties(${name} PROPERTIES PREFIX "")
  else()
    target_compile_options(${name} PRIVATE -fno-gnu-unique)
  endif()
  if(ARGN)
    target_compile_definitions(${name} PRIVATE ${ARGN})
  endif()
endfunction()

add_fake_library(fake_engine ${CMAKE_CURRENT_LIST_DIR}/FakeEngine.cpp)
add_fake_library(fake_engine_no_connect ${CMAKE_CURRENT_LIST_DIR}/FakeEngine.cpp FAKE_ENGINE_WITHOUT_CONNECT)
add_fake_library(fake_client ${CMAKE_CURRENT_LIST_DIR}/FakeClient.cpp)
add_fake_library(fake_client_no_version ${CMAKE_CURRENT_LIST_DIR}/FakeClient.cpp FAKE_CLIENT_WITHOUT_VERSION)
