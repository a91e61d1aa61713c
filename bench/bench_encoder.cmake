target_link_libraries(bench_encoder PRIVATE qrencoder PkgConfig::QRENCODE)
