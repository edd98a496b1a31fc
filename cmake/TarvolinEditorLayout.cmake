# The editor's layout table: resources/editor/EditorLayout.txt becomes C++ data, included by
# src/editor/EditorLayout.cpp. The artwork generator reads the same file, so the labels on the
# background and the controls the editor builds come from one source.
#
#   tarvolin_editor_layout(TARGET)   generates the table and makes TARGET compile with it.

find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(tarvolin_editor_layout TARGET)
  set(layout ${CMAKE_SOURCE_DIR}/resources/editor/EditorLayout.txt)
  set(script ${CMAKE_SOURCE_DIR}/tools/artwork/make_layout_table.py)
  set(dir ${CMAKE_BINARY_DIR}/generated/editor)
  set(table ${dir}/EditorLayoutTable.inc)
  add_custom_command(
    OUTPUT ${table}
    COMMAND Python3::Interpreter ${script} ${layout} ${table}
    DEPENDS ${script} ${CMAKE_SOURCE_DIR}/tools/artwork/editor_layout.py ${layout}
    COMMENT "Generating the editor layout table"
    VERBATIM)
  target_sources(${TARGET} PRIVATE ${table})
  target_include_directories(${TARGET} PRIVATE ${dir})
endfunction()
