# The crowd of peers the load tests set on the listener (tessel_load), and the client and server
# process it is made of, which the responder benchmark uses too: included by the tests and by the
# benchmarks, whichever are built.
include_guard(GLOBAL)
find_package(Threads REQUIRED)
add_library(tessel_load_support STATIC ${CMAKE_CURRENT_LIST_DIR}/LoadClient.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/ServerProcess.cpp)
target_include_directories(tessel_load_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tessel_load_support PUBLIC tessel_app Threads::Threads)
add_executable(tessel_load ${CMAKE_CURRENT_LIST_DIR}/tessel_load.cpp)
target_link_libraries(tessel_load PRIVATE tessel_load_support)
