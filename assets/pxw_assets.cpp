#include "pxw_assets.h"

#include <QtCore/qglobal.h>

void pxwInitAssets() {
    // A resource compiled into a static library is only linked in when something refers to it.
    Q_INIT_RESOURCE(pixelwain);
}
