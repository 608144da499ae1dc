// lumabatch-magick-reader: the image reader worker with ImageMagick besides libvips, started
// only for batches with Photo CD or MacPaint files, and for second tries.

#include "lumabatch/reader/worker.h"
#include "magick_reader.h"

int main(int argc, char** argv) {
    pxw::lumabatch::useMagickReader(pxw::lumabatch::magickReader());
    return pxw::lumabatch::runImageReaderWorker(argc, argv);
}
