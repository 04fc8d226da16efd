# The shared benchmark support and the load tool (tessel_load) built on it: included by the
# benchmarks and by the tests, since the load tests run it in every build that has tests.
include_guard(GLOBAL)
find_package(Threads REQUIRED)
file(GLOB TESSEL_BENCH_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/support/*.cpp)
add_library(tessel_bench_support STATIC ${TESSEL_BENCH_SUPPORT})
target_include_directories(tessel_bench_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tessel_bench_support PUBLIC tessel_app Threads::Threads)
add_executable(tessel_load ${CMAKE_CURRENT_LIST_DIR}/tessel_load.cpp)
target_link_libraries(tessel_load PRIVATE tessel_bench_support)
