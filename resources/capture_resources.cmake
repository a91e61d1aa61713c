# Resources of the decode page: the success chime (made by
# resources/capture/make_chime.py). Cursors and the info picture of the screen
# capture window are drawn at run time.
qt_add_resources(qrcapture_ui "capture_resources" PREFIX "/" BASE ${QRTOOL_ROOT}/resources
                 FILES ${QRTOOL_ROOT}/resources/capture/success.wav)
# The info picture carries a QR code made by our encoder.
target_link_libraries(qrcapture_ui PUBLIC qrencoder)
