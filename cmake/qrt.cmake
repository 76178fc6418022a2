# Compiler settings shared by every target of the project.

# All runtime text is Shift-JIS: UTF-8 literals in the sources become CP932 bytes.
add_compile_options(-Wall -Wextra -Wno-unused-parameter -fexec-charset=CP932)

if(WIN32)
  # The Windows programs and tests run without MinGW DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
elseif(QRT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The exported names of the library: one exports.txt per subsystem folder. The
# programs' module-definition files are generated from them, and a test checks
# that every name is in the programs' export tables.
function(qrt_write_def out_file module_name)
  file(GLOB export_lists ${PROJECT_SOURCE_DIR}/common/*/exports.txt)
  list(SORT export_lists)
  set(body "NAME ${module_name}\nEXPORTS\n")
  foreach(list_file IN LISTS export_lists)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
    file(STRINGS ${list_file} names REGEX "^[A-Za-z_]")
    foreach(name IN LISTS names)
      string(APPEND body "  ${name}\n")
    endforeach()
  endforeach()
  file(WRITE ${out_file} "${body}")
endfunction()

# A Windows program of the product: a windowed executable that exports every
# name of the library through a generated module-definition file, and a test
# that lists its export table.
#   qrt_add_program(NAME qrt000 MODULE QRT000.EXE CORE launcher_core SOURCES ...)
function(qrt_add_program)
  cmake_parse_arguments(P "" "NAME;MODULE;CORE" "SOURCES" ${ARGN})
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${P_NAME}.def)
  qrt_write_def(${def} ${P_MODULE})
  add_executable(${P_NAME} WIN32 ${P_SOURCES})
  target_link_libraries(${P_NAME} PRIVATE ${P_CORE})
  # Keep every object of the library in the image even where the program calls
  # nothing of it: its functions are exported by name.
  set(archives "")
  foreach(layer IN LISTS QRT_LAYERS)
    list(APPEND archives $<TARGET_FILE:${layer}>)
  endforeach()
  target_link_options(${P_NAME} PRIVATE
    -Wl,--whole-archive ${archives} -Wl,--no-whole-archive ${def})
  set_property(TARGET ${P_NAME} APPEND PROPERTY LINK_DEPENDS ${def})
  if(QRT_BUILD_TESTS)
    add_test(NAME ${P_NAME}_exports
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-exports ${QRT_TRIPLE}-objdump
                     $<TARGET_FILE:${P_NAME}>)
  endif()
endfunction()
