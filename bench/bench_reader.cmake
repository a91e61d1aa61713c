target_link_libraries(bench_reader PRIVATE qrreader PkgConfig::QRENCODE PkgConfig::ZXING)
