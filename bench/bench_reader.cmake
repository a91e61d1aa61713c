target_link_libraries(bench_reader PRIVATE qrreader qrencoder PkgConfig::QRENCODE PkgConfig::ZXING)
