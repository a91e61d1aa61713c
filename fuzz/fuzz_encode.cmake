target_link_libraries(fuzz_encode PRIVATE qrencoder)
# The encoder's inner loops compare cell by cell; tracing every comparison makes
# one large symbol take ~50 ms and adds little for inputs that need no magic values.
target_compile_options(qrencoder PRIVATE -fno-sanitize-coverage=trace-cmp)
