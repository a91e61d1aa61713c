# The program icon and the about page's banner, compiled into qrapp.
qt_add_resources(qrapp "app_resources" PREFIX "/" BASE ${QRTOOL_ROOT}/resources FILES
    ${QRTOOL_ROOT}/resources/qrtool.png
    ${QRTOOL_ROOT}/resources/banner.png)
