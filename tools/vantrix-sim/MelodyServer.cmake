# The device's side of the melody download, for the simulator and the tests.
# Include once; the simulator's library links vantrix_melody_server.
include_guard(GLOBAL)

add_library(vantrix_melody_server STATIC ${CMAKE_CURRENT_LIST_DIR}/MelodyServer.cpp)
target_include_directories(vantrix_melody_server PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(vantrix_melody_server PUBLIC nlohmann_json::nlohmann_json)
