# Builds the information dialog and its tests on their own until the main
# window's build takes them in.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(zintra_information STATIC ${CMAKE_CURRENT_LIST_DIR}/information.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/information.h
                                      ${CMAKE_CURRENT_LIST_DIR}/FileFilter.cpp)
set_target_properties(zintra_information PROPERTIES AUTOMOC ON)
target_include_directories(zintra_information PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zintra_information PUBLIC zintra Qt6::Widgets)

if(ZINTRA_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(information_tests ${PROJECT_SOURCE_DIR}/tests/ui/information_test.cpp
                                   ${PROJECT_SOURCE_DIR}/tests/ui/FileFilter_test.cpp)
  target_link_libraries(information_tests PRIVATE zintra_information Qt6::Test GTest::gtest)
  gtest_discover_tests(information_tests DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endif()
