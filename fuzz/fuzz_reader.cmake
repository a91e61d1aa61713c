target_link_libraries(fuzz_reader PRIVATE qrreader)
# The locating stages compare sample by sample thousands of times per picture;
# tracing those comparisons cost most of the run time and finds no magic values
# there. The data-stream stages keep their tracing.
set(QRTOOL_UNTRACED_READER_SOURCES)
foreach(f alignment edge_walk finder_role homography line_fit locate sampling binarize
          edge_scanner scan_strip finder_centres)
  list(APPEND QRTOOL_UNTRACED_READER_SOURCES ${QRTOOL_ROOT}/reader/${f}.cpp)
endforeach()
set_source_files_properties(${QRTOOL_UNTRACED_READER_SOURCES}
    DIRECTORY ${QRTOOL_ROOT}/reader
    PROPERTIES COMPILE_OPTIONS "-fno-sanitize-coverage=trace-cmp")
